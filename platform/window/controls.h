// Control classes over a dialog's controls: attach one with SubclassDlgItem
// to give the control its own message map.
#pragma once

#include <string>

#include "platform/window/framework.h"
#include "platform/window/wnd.h"

namespace qv::platform::win {

class CStatic : public CWnd {};

class CButton : public CWnd {
  public:
    int GetCheck() const { return Framework::current().backend().checkState(m_hWnd); }
    void SetCheck(int check) { Framework::current().backend().setCheckState(m_hWnd, check); }
};

class CEdit : public CWnd {};

class CComboBox : public CWnd {
  public:
    int AddString(const std::string& text) {
        auto items = Framework::current().backend().items(m_hWnd);
        items.push_back(text);
        Framework::current().backend().setItems(m_hWnd, items);
        return int(items.size()) - 1;
    }
    int GetCount() const { return int(Framework::current().backend().items(m_hWnd).size()); }
    int GetCurSel() const { return Framework::current().backend().selection(m_hWnd); }
    void SetCurSel(int index) { Framework::current().backend().setSelection(m_hWnd, index); }
    void ResetContent() { Framework::current().backend().setItems(m_hWnd, {}); }
};

}  // namespace qv::platform::win
