// CDialog: a dialog made from a template of the resources, run modally
// (DoModal) or shown modeless (Create).
#pragma once

#include "platform/window/wnd.h"

namespace qv::platform::win {

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog until EndDialog: IDOK, IDCANCEL or the id given to
    // EndDialog; -1 when the template is missing or the input ran out.
    virtual INT_PTR DoModal();
    // Shows the dialog modeless.
    bool Create(UINT templateId, CWnd* parent = nullptr);
    void EndDialog(INT_PTR result);

    // Loads the members into the controls; TRUE lets the framework put the
    // focus on the first control of the tab order.
    virtual BOOL OnInitDialog();
    // Saves and checks the members; closes with IDOK when they are valid.
    virtual void OnOK();
    virtual void OnCancel();

    UINT templateId() const { return templateId_; }
    CMenu& menu() { return dialogMenu_; }
    // The next (or previous) control with WS_TABSTOP after `from`.
    HWND GetNextDlgTabItem(HWND from, bool previous = false) const;

    DECLARE_MESSAGE_MAP()
  protected:
    LRESULT HandleInitDialog(WPARAM, LPARAM);
    void OnClose();

    CWnd* m_pParentWnd;

  private:
    bool createFromTemplate(CWnd* parent);
    UINT templateId_;
    CMenu dialogMenu_;
    bool ending_ = false;
    INT_PTR result_ = -1;
};

}  // namespace qv::platform::win
