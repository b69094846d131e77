// TFXDataTip: a small always-on-top popup with one or more centred lines of
// text next to the mouse pointer. It closes itself after three seconds, on a
// click, or when the next tip is shown. Tips live on the heap, one per
// showing, and delete themselves when closed.
#pragma once

#include <string>
#include <vector>

#include "engine/metafile/gdi.h"
#include "platform/window/wnd.h"
#include "ui/label.h"

namespace qv::ui {

using platform::win::RECT;
using platform::win::UINT_PTR;

// What one paint of the tip draws.
struct TipPaint {
    struct Line {
        int x = 0;  // the centre (TA_CENTER)
        int y = 0;  // the top
        std::string text;
        bool operator==(const Line&) const = default;
    };
    RECT fill;  // PatBlt with COLOR_INFOBK
    COLORREF background = 0;
    COLORREF textColor = 0;
    mf::LogFont font;
    std::vector<Line> lines;
};

class TFXDataTip : public platform::win::CWnd {
  public:
    static constexpr const char* kTitle = "Tooltip Window";
    static constexpr const char* kClassName = "TFXDataTip";
    static constexpr UINT_PTR kTimerId = 1010;
    static constexpr UINT kTimeoutMs = 3000;
    static constexpr int kFrameX = 4;  // left and right of the text
    static constexpr int kFrameY = 2;  // above and below the text
    static constexpr int kOffsetX = 10;
    static constexpr int kOffsetY = 5;
    static constexpr int kFirstLineY = 1;

    // The tip on screen, or none. One per process, touched by the GUI thread
    // only: showing a tip closes the one named here, a closing tip clears it.
    static TFXDataTip* CurrentTip;

    TFXDataTip();
    ~TFXDataTip() override;

    // Creates the hidden popup and the font; returns m_bCreated.
    virtual int Create(platform::win::CWnd* parent);
    // Shows `text` ("\n" between lines) next to the screen point.
    void ShowTip(POINT point, const std::string& text);

    // The font of every tip: MS Sans Serif with a cell height of 16 pixels.
    static mf::LogFont tipFont();
    // The lines of a text as wcstok finds them: runs of "\n" count once,
    // empty lines vanish.
    static std::vector<std::string> splitLines(const std::string& text);

    const std::string& text() const { return m_text; }
    int created() const { return m_bCreated; }
    // What the last WM_PAINT drew.
    const TipPaint& lastPaint() const { return painted_; }

    void OnPaint();
    void OnTimer(UINT_PTR id);
    void OnLButtonDown(UINT flags, POINT point);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    DECLARE_MESSAGE_MAP()

  protected:
    void PostNcDestroy() override;

  private:
    void close();

    std::string m_text;
    int m_bCreated = 0;
    UINT_PTR m_timerId = 0;
    mf::LogFont m_font;

    TipPaint painted_;
    int handling_ = 0;  // depth of messages being handled
    bool deletePending_ = false;
};

}  // namespace qv::ui
