#include "ui/data_tip.h"

#include <algorithm>

#include "engine/metafile/text_measure.h"
#include "platform/window/window_api.h"

namespace qv::ui {

using namespace platform::win;

TFXDataTip* TFXDataTip::CurrentTip = nullptr;

BEGIN_MESSAGE_MAP(TFXDataTip, CWnd)
ON_WM_PAINT()
ON_WM_TIMER()
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

TFXDataTip::TFXDataTip() = default;

TFXDataTip::~TFXDataTip() {
    if (CurrentTip == this) CurrentTip = nullptr;
}

mf::LogFont TFXDataTip::tipFont() {
    mf::LogFont f;
    f.height = 16;  // cell height
    f.width = 0;
    f.weight = 0;        // FW_DONTCARE
    f.charSet = 0;       // ANSI_CHARSET
    f.outPrecision = 0;  // OUT_DEFAULT_PRECIS
    f.clipPrecision = 0;
    f.quality = 0;
    f.pitchAndFamily = 0;
    f.faceName = "MS Sans Serif";
    return f;
}

std::vector<std::string> TFXDataTip::splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (end > at) lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

int TFXDataTip::Create(CWnd* parent) {
    // InitCommonControls and the class registration have no counterpart in
    // the framework: a class is a name given at creation.
    m_bCreated = CreateEx(WS_EX_TOPMOST, kClassName, kTitle, WS_POPUP | WS_CLIPSIBLINGS | WS_BORDER,
                          RECT{}, parent, 0)
                     ? 1
                     : 0;
    m_font = tipFont();
    return m_bCreated;
}

void TFXDataTip::ShowTip(POINT point, const std::string& text) {
    m_text = text;
    if (!m_bCreated || !m_hWnd) return;
    if (CurrentTip && CurrentTip != this) CurrentTip->close();

    m_timerId = SetTimer(kTimerId, kTimeoutMs);

    int width = 0;
    int height = 0;
    for (const std::string& line : splitLines(m_text)) {
        mf::TextExtent e = mf::GetTextExtentPoint32W(m_font, line);
        width = std::max(width, int(e.cx));
        height += e.cy;
    }

    RECT r{point.x, point.y, point.x + width, point.y + height};
    r = RECT{r.left - kFrameX, r.top - kFrameY, r.right + kFrameX, r.bottom + kFrameY};
    r = RECT{r.left + kOffsetX, r.top + kOffsetY, r.right + kOffsetX, r.bottom + kOffsetY};

    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (r.right > screenWidth) {
        int dx = r.right - screenWidth;
        r.left -= dx;
        r.right -= dx;
    }
    if (r.bottom > screenHeight) {
        int dy = r.bottom - screenHeight;
        r.top -= dy;
        r.bottom -= dy;
    }

    SetWindowPos(HWND_TOPMOST, r.left, r.top, r.width(), r.height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    CurrentTip = this;
}

void TFXDataTip::OnPaint() {
    RECT client = GetClientRect();
    TipPaint p;
    p.fill = client;
    p.background = GetSysColor(COLOR_INFOBK);
    p.textColor = GetSysColor(COLOR_INFOTEXT);
    p.font = m_font;
    int y = kFirstLineY;
    for (const std::string& line : splitLines(m_text)) {
        p.lines.push_back({client.width() / 2, y, line});
        y += mf::GetTextExtentPoint32W(m_font, line).cy;
    }
    painted_ = std::move(p);
}

void TFXDataTip::OnTimer(UINT_PTR) {
    close();
}

void TFXDataTip::OnLButtonDown(UINT, POINT) {
    close();
}

void TFXDataTip::close() {
    KillTimer(m_timerId);
    // Clearing CurrentTip and deleting the object follow in PostNcDestroy.
    if (m_hWnd)
        DestroyWindow();
    else
        PostNcDestroy();
}

void TFXDataTip::PostNcDestroy() {
    if (CurrentTip == this) CurrentTip = nullptr;
    // Inside one of its own messages the tip is deleted once that message is
    // done, as the framework still uses the object on the way out.
    if (handling_ > 0)
        deletePending_ = true;
    else
        delete this;
}

LRESULT TFXDataTip::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    ++handling_;
    LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    if (--handling_ == 0 && deletePending_) delete this;
    return result;
}

}  // namespace qv::ui
