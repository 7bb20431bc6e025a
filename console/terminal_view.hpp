// What the terminal shows of the screen buffer, so that an update sends only what changed.
#pragma once

#include "screen_buffer.hpp"

#include <cstdint>
#include <string>
#include <vector>

class TerminalView {
public:
  explicit TerminalView(bool colourAllowed) : colourAllowed(colourAllowed) {}

  // Appends the bytes that make the terminal show the buffer's window and its cursor: nothing
  // when it already does.
  void update(const ScreenBuffer &screen, std::string &out);
  // The terminal's picture can no longer be trusted (a resume, a resize, Ctrl-L): the next update
  // clears it and paints it whole, as many rows as the buffer's window has then.
  void forget() { known = false; }
  // Appends the bytes that give the terminal back after an update: its own colour, and the
  // cursor at the start of a line of its own.
  void leave(const ScreenBuffer &screen, std::string &out);
  // Appends what brings the terminal's own colour back, if it is not in force.
  void useTerminalColour(std::string &out);

private:
  void paintRow(const ScreenBuffer &screen, std::int16_t row, std::string &out);
  bool bridge(const ScreenBuffer::Row &wanted, std::int16_t column, std::int16_t row,
              std::string &out);
  void moveTo(std::int16_t column, std::int16_t row, std::string &out);
  void useColour(std::int8_t colour, std::string &out);

  bool colourAllowed;
  bool known = false;
  std::vector<ScreenBuffer::Row> shown;
  std::int16_t shownTop = 0;
  // Where the terminal's cursor stands; known from the first update on, which clears the screen.
  Position cursor;
  // The terminal's colour, -1 while unknown.
  std::int8_t colour = -1;
};
