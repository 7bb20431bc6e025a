// Where the terminal's cursor stands, worked out from what was written and what the terminal
// echoed, so that the game never has to ask the terminal.
#pragma once

#include <cstdint>

struct ScreenCursor {
  std::int16_t column = 0;
  std::int16_t row = 0;
  // A character filled the last column; the terminal wraps before the next one.
  bool wrapPending = false;
  // The screen's size when known, else 0: the cursor wraps at the right edge and the screen
  // scrolls at the bottom.
  std::int16_t columns = 0;
  std::int16_t rows = 0;
};

// A character the game wrote. Output post-processing is on, so a line feed returns the carriage.
void trackWritten(ScreenCursor &cursor, char c);
// A character the terminal echoed while a reply was typed: control characters show as ^X.
void trackEchoed(ScreenCursor &cursor, char c);
void trackPlaced(ScreenCursor &cursor, std::int16_t column, std::int16_t row);
