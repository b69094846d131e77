// The system's text for the last error of the calling thread.
#pragma once

#include <string>

namespace qv::platform {

// The message for the current errno, in the user's language.
std::string SystemErrorText();

}  // namespace qv::platform
