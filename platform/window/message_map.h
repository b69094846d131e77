// Message maps: one table per class from window messages and command ids to
// member functions, walked from the object's own class up to CWnd.
//
//   class CMyDialog : public CDialog {
//       ...
//       DECLARE_MESSAGE_MAP()
//   };
//   BEGIN_MESSAGE_MAP(CMyDialog, CDialog)
//       ON_BN_CLICKED(1005, &CMyDialog::OnFixedWidth)
//       ON_UPDATE_COMMAND_UI(40018, &CMyDialog::OnUpdateCopyLast)
//       ON_WM_TIMER()
//   END_MESSAGE_MAP()
#pragma once

#include "platform/window/window_types.h"

namespace qv::platform::win {

class CWnd;
class CCmdUI;
class CMenu;

// Marks the entries of command-update handlers.
constexpr UINT kUpdateCommandUi = 0xFFFFFFFF;

struct MapCall {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT id;  // command id of WM_COMMAND and of command updates
    CCmdUI* cmdUI;
};

using MapThunk = LRESULT (*)(CWnd* target, const MapCall& call);

struct MessageMapEntry {
    UINT message;            // WM_COMMAND, kUpdateCommandUi or a window message
    UINT code;               // notification code of WM_COMMAND
    UINT idFirst, idLast;    // command id range of WM_COMMAND and updates
    const UINT* registered;  // a registered message's id, read at dispatch time
    MapThunk thunk;          // nullptr ends the table
};

struct MessageMap {
    const MessageMap* (*base)();  // nullptr for CWnd
    const MessageMapEntry* entries;
};

namespace thunks {

template <class F>
struct MemberOf;
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...)> {
    using type = C;
};
template <auto F>
using Owner = typename MemberOf<decltype(F)>::type;

template <auto F>
LRESULT noArgs(CWnd* w, const MapCall&) {
    (static_cast<Owner<F>*>(w)->*F)();
    return 0;
}
template <auto F>
LRESULT withId(CWnd* w, const MapCall& c) {
    (static_cast<Owner<F>*>(w)->*F)(c.id);
    return 0;
}
template <auto F>
LRESULT update(CWnd* w, const MapCall& c) {
    (static_cast<Owner<F>*>(w)->*F)(c.cmdUI);
    return 0;
}
template <auto F>
LRESULT raw(CWnd* w, const MapCall& c) {
    return (static_cast<Owner<F>*>(w)->*F)(c.wParam, c.lParam);
}
template <auto F>
LRESULT timer(CWnd* w, const MapCall& c) {
    (static_cast<Owner<F>*>(w)->*F)(UINT_PTR(c.wParam));
    return 0;
}
template <auto F>
LRESULT mouse(CWnd* w, const MapCall& c) {
    POINT p{int16_t(LOWORD(uintptr_t(c.lParam))), int16_t(HIWORD(uintptr_t(c.lParam)))};
    (static_cast<Owner<F>*>(w)->*F)(UINT(c.wParam), p);
    return 0;
}
template <auto F>
LRESULT helpInfo(CWnd* w, const MapCall& c) {
    return (static_cast<Owner<F>*>(w)->*F)(reinterpret_cast<HELPINFO*>(c.lParam));
}
template <auto F>
LRESULT initMenuPopup(CWnd* w, const MapCall& c) {
    (static_cast<Owner<F>*>(w)->*F)(reinterpret_cast<CMenu*>(c.wParam), LOWORD(uintptr_t(c.lParam)),
                                    BOOL(HIWORD(uintptr_t(c.lParam))));
    return 0;
}
template <auto F>
LRESULT initDialog(CWnd* w, const MapCall&) {
    return (static_cast<Owner<F>*>(w)->*F)();
}

}  // namespace thunks
}  // namespace qv::platform::win

#define DECLARE_MESSAGE_MAP()                                          \
  public:                                                              \
    static const ::qv::platform::win::MessageMap* GetThisMessageMap(); \
    const ::qv::platform::win::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                               \
    const ::qv::platform::win::MessageMap* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                                          \
    }                                                                        \
    const ::qv::platform::win::MessageMap* theClass::GetThisMessageMap() {   \
        using ThisClass [[maybe_unused]] = theClass;                         \
        using TheBaseClass = baseClass;                                      \
        static const ::qv::platform::win::MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                                 \
    { 0, 0, 0, 0, nullptr, nullptr }                                                      \
    }                                                                                     \
    ;                                                                                     \
    static const ::qv::platform::win::MessageMap map = {&TheBaseClass::GetThisMessageMap, \
                                                        entries};                         \
    return &map;                                                                          \
    }

#define QV_MAP_ENTRY(message, code, first, last, registered, thunk) \
    {UINT(message), UINT(code), UINT(first),                        \
     UINT(last),    registered, &::qv::platform::win::thunks::thunk},

// Commands and control notifications: void f(); the range forms: void f(UINT id).
#define ON_COMMAND(id, fn) \
    QV_MAP_ENTRY(::qv::platform::win::WM_COMMAND, 0, id, id, nullptr, noArgs<fn>)
#define ON_COMMAND_RANGE(first, last, fn) \
    QV_MAP_ENTRY(::qv::platform::win::WM_COMMAND, 0, first, last, nullptr, withId<fn>)
#define ON_CONTROL(code, id, fn) \
    QV_MAP_ENTRY(::qv::platform::win::WM_COMMAND, code, id, id, nullptr, noArgs<fn>)
#define ON_CONTROL_RANGE(code, first, last, fn) \
    QV_MAP_ENTRY(::qv::platform::win::WM_COMMAND, code, first, last, nullptr, withId<fn>)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(::qv::platform::win::BN_CLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(::qv::platform::win::EN_CHANGE, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(::qv::platform::win::CBN_SELCHANGE, id, fn)
// Command-update handlers: void f(CCmdUI*).
#define ON_UPDATE_COMMAND_UI(id, fn) \
    QV_MAP_ENTRY(::qv::platform::win::kUpdateCommandUi, 0, id, id, nullptr, update<fn>)
#define ON_UPDATE_COMMAND_UI_RANGE(first, last, fn) \
    QV_MAP_ENTRY(::qv::platform::win::kUpdateCommandUi, 0, first, last, nullptr, update<fn>)
// Any message: LRESULT f(WPARAM, LPARAM); a registered message by its variable.
#define ON_MESSAGE(message, fn) QV_MAP_ENTRY(message, 0, 0, 0, nullptr, raw<fn>)
#define ON_REGISTERED_MESSAGE(idVariable, fn) QV_MAP_ENTRY(0, 0, 0, 0, &(idVariable), raw<fn>)
// Standard messages, handled by the class's member of the standard name.
#define ON_WM_TIMER() \
    QV_MAP_ENTRY(::qv::platform::win::WM_TIMER, 0, 0, 0, nullptr, timer<&ThisClass::OnTimer>)
#define ON_WM_PAINT() \
    QV_MAP_ENTRY(::qv::platform::win::WM_PAINT, 0, 0, 0, nullptr, noArgs<&ThisClass::OnPaint>)
#define ON_WM_DESTROY() \
    QV_MAP_ENTRY(::qv::platform::win::WM_DESTROY, 0, 0, 0, nullptr, noArgs<&ThisClass::OnDestroy>)
#define ON_WM_CLOSE() \
    QV_MAP_ENTRY(::qv::platform::win::WM_CLOSE, 0, 0, 0, nullptr, noArgs<&ThisClass::OnClose>)
#define ON_WM_LBUTTONDOWN()                                             \
    QV_MAP_ENTRY(::qv::platform::win::WM_LBUTTONDOWN, 0, 0, 0, nullptr, \
                 mouse<&ThisClass::OnLButtonDown>)
#define ON_WM_HELPINFO() \
    QV_MAP_ENTRY(::qv::platform::win::WM_HELP, 0, 0, 0, nullptr, helpInfo<&ThisClass::OnHelpInfo>)
#define ON_WM_INITMENUPOPUP()                                             \
    QV_MAP_ENTRY(::qv::platform::win::WM_INITMENUPOPUP, 0, 0, 0, nullptr, \
                 initMenuPopup<&ThisClass::OnInitMenuPopup>)
