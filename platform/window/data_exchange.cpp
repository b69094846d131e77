#include "platform/window/data_exchange.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/window/framework.h"
#include "platform/window/wnd.h"

namespace qv::platform::win {

namespace {

Backend& backend() {
    return Framework::current().backend();
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool onlyBlanks(const char* p) {
    while (*p && blank(*p)) ++p;
    return *p == 0;
}

bool parseInt(const std::string& text, int& v) {
    const char* s = text.c_str();
    while (blank(*s)) ++s;
    if (!*s) return false;
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(s, &end, 10);
    if (end == s || errno == ERANGE || n < INT_MIN || n > INT_MAX || !onlyBlanks(end)) return false;
    v = int(n);
    return true;
}

bool parseDouble(const std::string& text, double& v) {
    const char* s = text.c_str();
    while (blank(*s)) ++s;
    if (!*s) return false;
    char* end = nullptr;
    double d = std::strtod(s, &end);
    if (end == s || !onlyBlanks(end)) return false;
    v = d;
    return true;
}

// The radio buttons of the group that starts at `first`.
std::vector<HWND> radioGroup(HWND dialog, HWND first) {
    std::vector<HWND> group;
    bool in = false;
    for (HWND c : backend().children(dialog)) {
        if (c == first)
            in = true;
        else if (in &&
                 (backend().kind(c) != ControlKind::RadioButton || (backend().style(c) & WS_GROUP)))
            break;
        if (in) group.push_back(c);
    }
    return group;
}

}  // namespace

std::string formatDouble(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", DBL_DIG, v);
    return buf;
}

HWND CDataExchange::PrepareCtrl(int id) {
    HWND c = m_pDlgWnd->GetDlgItemHandle(id);
    m_hWndLastControl = c;
    m_bEditLastControl = false;
    return c;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND c = PrepareCtrl(id);
    m_bEditLastControl = true;
    return c;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) win::SetFocus(m_hWndLastControl);
    throw DataExchangeFailed{};
}

void CDataExchange::showMessage(const std::string& text) {
    m_pDlgWnd->MessageBox(text, Framework::current().appTitle, MessageIcon::Warning,
                          MessageButtons::Ok);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate)
        value = backend().checkState(c);
    else
        backend().setCheckState(c, value ? BST_CHECKED : BST_UNCHECKED);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    std::vector<HWND> group = radioGroup(dx->m_pDlgWnd->m_hWnd, c);
    if (dx->m_bSaveAndValidate) value = -1;
    for (size_t i = 0; i < group.size(); ++i) {
        if (dx->m_bSaveAndValidate) {
            if (backend().checkState(group[i]) == BST_CHECKED) value = int(i);
        } else {
            backend().setCheckState(group[i], int(i) == value ? BST_CHECKED : BST_UNCHECKED);
        }
    }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    HWND c = dx->PrepareCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate)
        index = backend().selection(c);
    else
        backend().setSelection(c, index);
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    HWND c = dx->PrepareEditCtrl(id);
    if (!c) return;
    if (!dx->m_bSaveAndValidate) {
        backend().setText(c, std::to_string(value));
    } else if (!parseInt(backend().text(c), value)) {
        dx->showMessage("Please enter an integer.");
        dx->Fail();
    }
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
    HWND c = dx->PrepareEditCtrl(id);
    if (!c) return;
    if (!dx->m_bSaveAndValidate) {
        backend().setText(c, formatDouble(value));
    } else if (!parseDouble(backend().text(c), value)) {
        dx->showMessage("Please enter a number.");
        dx->Fail();
    }
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    HWND c = dx->PrepareEditCtrl(id);
    if (!c) return;
    if (dx->m_bSaveAndValidate)
        value = backend().text(c);
    else
        backend().setText(c, value);
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
    if (!dx->m_bSaveAndValidate || (value >= minValue && value <= maxValue)) return;
    char buf[128];
    std::snprintf(buf, sizeof buf, "Please enter an integer between %d and %d.", minValue,
                  maxValue);
    dx->showMessage(buf);
    dx->Fail();
}

void DDV_MinMaxDouble(CDataExchange* dx, double value, double minValue, double maxValue) {
    if (!dx->m_bSaveAndValidate || (value >= minValue && value <= maxValue)) return;
    std::string text = "Please enter a number between " + formatDouble(minValue) + " and " +
                       formatDouble(maxValue) + ".";
    dx->showMessage(text);
    dx->Fail();
}

void DDV_MaxChars(CDataExchange* dx, const std::string& value, int count) {
    if (!dx->m_bSaveAndValidate || int(value.size()) <= count) return;
    char buf[128];
    std::snprintf(buf, sizeof buf, "Enter no more than %d characters.", count);
    dx->showMessage(buf);
    dx->Fail();
}

}  // namespace qv::platform::win
