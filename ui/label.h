// CLabel: a static text control whose colour, font and background are set
// from code, and which can be a hyperlink that opens its target with the
// desktop ("open").
//
// The window framework has no device contexts, brushes, fonts or cursors as
// objects yet. The label therefore keeps them as plain state that a backend
// (and a test) reads: the text colour, the background brush as its colour,
// the font as its LOGFONT description, and the cursor it last set. A desktop
// backend will need to:
//   - reflect the parent's WM_CTLCOLORSTATIC for this control to the label
//     (wParam: a StaticDc to fill in) and paint the text with the answer;
//   - realise `m_font` and the brush colour in its toolkit;
//   - map HCURSOR values to toolkit cursors and route WM_SETCURSOR;
//   - deliver mouse clicks to a static control only when it has SS_NOTIFY.
#pragma once

#include <cstdint>
#include <string>

#include "engine/metafile/gdi.h"
#include "platform/desktop.h"
#include "platform/window/controls.h"

namespace qv::ui {

using platform::win::BOOL;
using platform::win::HWND;
using platform::win::LPARAM;
using platform::win::LRESULT;
using platform::win::POINT;
using platform::win::UINT;
using platform::win::WPARAM;

// 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}

// System colours by the platform's indexes, with the standard scheme's values.
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
COLORREF GetSysColor(int index);

// A cursor; 0 is none.
using HCURSOR = uintptr_t;

// Kinds of control in a colour request.
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_LISTBOX = 2;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_SCROLLBAR = 5;
constexpr UINT CTLCOLOR_STATIC = 6;

constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// The part of a device context that a colour request sets up.
struct StaticDc {
    mf::LogFont font;
    bool fontSelected = false;
    COLORREF textColor = 0;
    int bkMode = OPAQUE;
};

// The parent's colour request for a control, reflected to the control
// itself: wParam is the StaticDc* to set up, lParam the CTLCOLOR_ kind; the
// result is the brush (const SolidBrush*) that paints the background.
constexpr UINT WM_REFLECT_CTLCOLOR = 0xBC00 + 0x0019;

// A solid brush, known by its colour.
struct SolidBrush {
    COLORREF color = 0;
};

// The description of the stock DEFAULT_GUI_FONT.
mf::LogFont defaultGuiFont();

class CLabel : public platform::win::CStatic {
  public:
    explicit CLabel(platform::DesktopService& desktop);
    ~CLabel() override;

    CLabel& SetForeColor(COLORREF color);
    CLabel& SetBackColor(COLORREF color);
    CLabel& SetBold(BOOL bold);
    CLabel& SetUnderline(BOOL underline);
    CLabel& SetFontSize(int size);
    CLabel& SetFaceName(const std::string& faceName);
    CLabel& SetText(const std::string& text);
    CLabel& SetLink(BOOL link);
    CLabel& SetLinkCursor(HCURSOR cursor);

    // The answer to the colour request reflected from the parent.
    const SolidBrush* CtlColor(StaticDc* dc, UINT ctlColor);

    // Read-only views for the backend and tests.
    COLORREF textColor() const { return m_textColor; }
    COLORREF backColor() const { return m_hBackBrush.color; }
    const mf::LogFont& logFont() const { return m_logFont; }
    const mf::LogFont& font() const { return m_font; }
    const std::string& linkTarget() const { return m_linkTarget; }
    BOOL isLink() const { return m_bLink; }
    HCURSOR linkCursor() const { return m_hLinkCursor; }
    // The cursor the label set on WM_SETCURSOR, 0 before.
    HCURSOR cursorShown() const { return cursorShown_; }
    // How often the label redrew itself.
    int redrawCount() const { return redraws_; }

    // Sets the target a click opens; left empty, the label's own text is used.
    CLabel& setLinkTarget(const std::string& target);

    LRESULT OnCtlColorReflect(WPARAM dc, LPARAM ctlColor);
    LRESULT OnSetCursor(WPARAM hwnd, LPARAM hitTestAndMessage);
    void OnLButtonDown(UINT flags, POINT point);

    DECLARE_MESSAGE_MAP()

  private:
    void rebuildFont();
    void redraw();

    COLORREF m_textColor;
    SolidBrush m_hBackBrush;
    mf::LogFont m_logFont;
    mf::LogFont m_font;
    std::string m_linkTarget;
    BOOL m_bLink = 1;
    HCURSOR m_hLinkCursor = 0;

    platform::DesktopService& desktop_;
    HCURSOR cursorShown_ = 0;
    int redraws_ = 0;
};

}  // namespace qv::ui
