// What both console backends share.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::string_view pausePrompt = "Press any key to continue . . . ";

// 128 stands for white.
inline std::int32_t consoleColour(std::int32_t colour) {
  return colour == 128 ? 15 : colour;
}
