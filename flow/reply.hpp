// A number typed in reply to a question.
#pragma once

#include <cstdint>

enum class Reply { number, refused, ended };

// A signed 16-bit decimal number, white space and empty lines skipped before it. Anything else, or
// a number that does not fit, is refused: value is 0 and the rest of that line is dropped, so the
// input never stays failed.
Reply readReply(std::int16_t &value);
