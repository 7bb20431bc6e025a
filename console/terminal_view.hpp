// What the terminal shows of the screen buffer, so that an update sends only what changed, in
// about as few bytes as it can be said.
#pragma once

#include "screen_buffer.hpp"

#include <cstdint>
#include <string>
#include <vector>

class TerminalView {
public:
  TerminalView(bool colourAllowed, bool lightBackground)
      : colourAllowed(colourAllowed), lightBackground(lightBackground) {}

  // Appends the bytes that make the terminal show the buffer's window and its cursor: nothing
  // when it already does.
  void update(const ScreenBuffer &screen, std::string &out);
  // The terminal's picture can no longer be trusted (a resume, a resize, Ctrl-L): the next update
  // clears it and paints it whole, as many rows as the buffer's window has then. After a stop,
  // neither can its colour: another program had the terminal meanwhile.
  void forget(bool colourToo = false) {
    known = false;
    if (colourToo)
      colour = -1;
  }
  // Appends the bytes that give the terminal back after an update: its own colour, and the
  // cursor at the start of a line of its own.
  void leave(const ScreenBuffer &screen, std::string &out);
  // Appends what brings the terminal's own colour back, if it is not in force.
  void useTerminalColour(std::string &out);

private:
  using Rows = std::vector<ScreenBuffer::Row>;
  // The buffer's rows in the window, looked at where they stand.
  using Wanted = std::vector<const ScreenBuffer::Row *>;

  // A row to paint: the column it is erased from (the width: not erased), and the columns that
  // may need a cell painted. The others show theirs already, and nothing on the way spoils them.
  struct Change {
    std::size_t row;
    std::int16_t erase;
    std::vector<std::int16_t> columns;
  };

  // False, stopped short, once the bytes reach the budget.
  bool paint(const Wanted &wanted, const std::vector<std::int8_t> &colours,
             const std::vector<Change> &changes, std::size_t budget, std::string &out);
  void moveTo(Position to, const Wanted &wanted, std::string &out);
  bool canRewrite(const Wanted &wanted, std::int16_t row, std::int16_t from, std::int16_t to) const;
  void rewritten(const Wanted &wanted, std::int16_t row, std::int16_t from, std::int16_t to);
  void useColour(std::int8_t colour, std::string &out);

  bool colourAllowed;
  bool lightBackground;
  bool known = false;
  Rows shown;
  // The version of the buffer's row each shows; the rows of a window scrolled in show none yet.
  static constexpr std::uint64_t unknownVersion = UINT64_MAX;
  std::vector<std::uint64_t> shownVersions;
  std::int16_t shownTop = 0;
  // Where the terminal's cursor stands; known from the first update on, which clears the screen.
  // Its column is the width while the terminal waits to wrap.
  Position cursor;
  // The terminal's colour, -1 while unknown.
  std::int8_t colour = -1;
};
