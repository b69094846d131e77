// The headless window machine the ui tests run on.
#pragma once

#include "platform/user_interface.h"
#include "platform/window/framework.h"
#include "platform/window/headless_backend.h"
#include "platform/window/wnd.h"

namespace qv::test {

struct HeadlessUi {
    platform::win::HeadlessBackend backend;
    platform::RecordingUserInterface ui;
    platform::win::Framework fw{backend, ui};
};

}  // namespace qv::test
