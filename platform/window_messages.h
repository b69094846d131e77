// Registered window messages: a name gets the same id every time it is
// registered, ids from 0xC000 up.
#pragma once

#include <cstdint>
#include <string>

namespace qv::platform {

uint32_t RegisterWindowMessageW(const std::string& name);

}  // namespace qv::platform
