// A number typed in reply to a question.
#pragma once

#include <cstdint>

enum class Reply { number, refused, ended };

// A signed 16-bit decimal number, white space and empty lines skipped before it. Anything else, or
// a number that does not fit, is refused and the rest of that line dropped, so the input never
// stays failed; value then means nothing.
Reply readReply(std::int16_t &value);
