// The terminal's capabilities as its terminfo entry says them (POSIX).
#pragma once

#include "capabilities.hpp"

#include <optional>
#include <string>

// The entry of that name, looked up as libtinfo looks (TERMINFO, TERMINFO_DIRS, ~/.terminfo, the
// system's database); empty when there is none.
std::optional<Capabilities> terminfoCapabilities(const std::string &term);
