// The screens as plain text, for output that is no terminal: a log that reads as a record of the
// game and can be searched.
#pragma once

#include "screen_buffer.hpp"

#include <string>

class Transcript {
public:
  // Appends the window's rows, trailing blanks trimmed and no blank rows after the last text,
  // then a line holding only a form feed; nothing when the text is the one written last.
  void update(const ScreenBuffer &screen, std::string &out);

private:
  std::string last;
};
