// Data exchange and validation between a dialog's controls and its members.
//
//   void CMyDialog::DoDataExchange(CDataExchange* pDX) {
//       DDX_Check(pDX, 1001, m_crop);
//       DDX_Text(pDX, 1017, m_percentage);
//       DDV_MinMaxDouble(pDX, m_percentage, 0, 999);
//   }
//
// Saving reads the controls into the members and checks them; a failed
// check shows the standard message, puts the focus on the control and ends
// the exchange (UpdateData returns false). Loading writes the members into
// the controls; checks do nothing then.
#pragma once

#include <string>

#include "platform/window/window_types.h"

namespace qv::platform::win {

class CWnd;

// Ends a failed exchange; UpdateData catches it.
struct DataExchangeFailed {};

class CDataExchange {
  public:
    CDataExchange(CWnd* dialog, bool save) : m_pDlgWnd(dialog), m_bSaveAndValidate(save) {}

    // The control with `id`; the checks that follow refer to it.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Moves the focus to the last prepared control and ends the exchange.
    [[noreturn]] void Fail();
    // Shows a check's message box (exclamation icon, OK) owned by the dialog.
    void showMessage(const std::string& text);

    CWnd* m_pDlgWnd;
    bool m_bSaveAndValidate;
    HWND m_hWndLastControl = 0;
    bool m_bEditLastControl = false;
};

void DDX_Check(CDataExchange* dx, int id, int& value);
// `id` is the first radio button of a group that runs up to the next control
// with WS_GROUP or that is not a radio button; value = the checked one's index
// in the group, -1 when none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Text(CDataExchange* dx, int id, std::string& value);

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);
void DDV_MinMaxDouble(CDataExchange* dx, double value, double minValue, double maxValue);
void DDV_MaxChars(CDataExchange* dx, const std::string& value, int count);

// Number texts as the exchange writes them: "%d", and "%.15g" for doubles.
std::string formatDouble(double v);

}  // namespace qv::platform::win
