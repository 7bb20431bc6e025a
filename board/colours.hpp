// The colours the game paints with, by role, as console attribute values.
#pragma once

#include <cstdint>

namespace colours {
inline constexpr std::int32_t normalText = 7;
inline constexpr std::int32_t xMark = 9;
inline constexpr std::int32_t rules = 10; // the board's bars and rule lines
inline constexpr std::int32_t oMark = 12;
inline constexpr std::int32_t messages = 13; // the questions and the board's legend
inline constexpr std::int32_t white = 15;    // typed replies and the result
} // namespace colours
