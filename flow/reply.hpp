// A number typed in reply to a question.
#pragma once

#include <cstdint>
#include <functional>

enum class Reply { number, refused, ended };

// A signed 16-bit decimal number, white space and empty lines skipped before it. Anything else, or
// a number that does not fit, is refused: the line is dropped and taken off the screen, so the
// input never stays failed; value then means nothing. In plain play an empty line is a request,
// which `again` answers (the board, the question again) before the reply is read.
Reply readReply(std::int16_t &value, const std::function<void()> &again);
