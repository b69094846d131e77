#include "ui/label.h"

#include "platform/window/window_api.h"

namespace qv::ui {

using namespace platform::win;

COLORREF GetSysColor(int index) {
    switch (index) {
        case COLOR_WINDOWTEXT:
            return RGB(0, 0, 0);
        case COLOR_BTNFACE:
            return RGB(240, 240, 240);
        case COLOR_INFOTEXT:
            return RGB(0, 0, 0);
        case COLOR_INFOBK:
            return RGB(255, 255, 225);
        default:
            return RGB(0, 0, 0);
    }
}

mf::LogFont defaultGuiFont() {
    mf::LogFont f;
    f.height = -11;
    f.weight = FW_NORMAL;
    f.charSet = 1;  // DEFAULT_CHARSET
    f.faceName = "MS Shell Dlg";
    return f;
}

BEGIN_MESSAGE_MAP(CLabel, CStatic)
ON_MESSAGE(WM_REFLECT_CTLCOLOR, &CLabel::OnCtlColorReflect)
ON_MESSAGE(WM_SETCURSOR, &CLabel::OnSetCursor)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CLabel::CLabel(platform::DesktopService& desktop)
    : m_textColor(GetSysColor(COLOR_WINDOWTEXT)),
      m_hBackBrush{GetSysColor(COLOR_BTNFACE)},
      m_logFont(defaultGuiFont()),
      m_font(m_logFont),
      desktop_(desktop) {}

CLabel::~CLabel() = default;

CLabel& CLabel::SetForeColor(COLORREF color) {
    m_textColor = color;
    redraw();
    return *this;
}

CLabel& CLabel::SetBackColor(COLORREF color) {
    m_hBackBrush = SolidBrush{color};
    return *this;
}

CLabel& CLabel::SetBold(BOOL bold) {
    m_logFont.weight = int16_t(bold ? FW_BOLD : FW_NORMAL);
    rebuildFont();
    redraw();
    return *this;
}

CLabel& CLabel::SetUnderline(BOOL underline) {
    m_logFont.underline = underline ? 1 : 0;
    rebuildFont();
    redraw();
    return *this;
}

CLabel& CLabel::SetFontSize(int size) {
    m_logFont.height = int16_t(-size);
    rebuildFont();
    redraw();
    return *this;
}

CLabel& CLabel::SetFaceName(const std::string& faceName) {
    // LOGFONT keeps 32 characters, the last one the terminating NUL.
    m_logFont.faceName = faceName.substr(0, 31);
    rebuildFont();
    redraw();
    return *this;
}

CLabel& CLabel::SetText(const std::string& text) {
    SetWindowText(text);
    return *this;
}

CLabel& CLabel::SetLink(BOOL link) {
    m_bLink = link;
    if (m_hWnd) ModifyStyle(link ? 0 : SS_NOTIFY, link ? SS_NOTIFY : 0);
    return *this;
}

CLabel& CLabel::SetLinkCursor(HCURSOR cursor) {
    m_hLinkCursor = cursor;
    return *this;
}

CLabel& CLabel::setLinkTarget(const std::string& target) {
    m_linkTarget = target;
    return *this;
}

const SolidBrush* CLabel::CtlColor(StaticDc* dc, UINT ctlColor) {
    if (ctlColor == CTLCOLOR_STATIC && dc) {
        dc->font = m_font;
        dc->fontSelected = true;
        dc->textColor = m_textColor;
        dc->bkMode = TRANSPARENT;
    }
    return &m_hBackBrush;
}

LRESULT CLabel::OnCtlColorReflect(WPARAM dc, LPARAM ctlColor) {
    return LRESULT(CtlColor(reinterpret_cast<StaticDc*>(dc), UINT(ctlColor)));
}

LRESULT CLabel::OnSetCursor(WPARAM, LPARAM) {
    if (m_hLinkCursor) {
        cursorShown_ = m_hLinkCursor;
        return TRUE;
    }
    return Default();
}

void CLabel::OnLButtonDown(UINT, POINT) {
    // On the desktop a static control without SS_NOTIFY is transparent to the
    // mouse and never sees the click; the headless backend delivers every
    // message, so the label applies the rule itself.
    if (!(GetStyle() & SS_NOTIFY)) {
        Default();
        return;
    }
    if (m_linkTarget.empty()) m_linkTarget = GetWindowText();
    desktop_.open(m_linkTarget);  // a target that cannot be opened does nothing visible
    Default();
}

void CLabel::rebuildFont() {
    m_font = m_logFont;
}

void CLabel::redraw() {
    // RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW) once the backend paints.
    ++redraws_;
}

}  // namespace qv::ui
