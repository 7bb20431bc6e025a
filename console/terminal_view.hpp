// What the terminal shows of the screen buffer, so that an update sends only what changed, in
// about as few bytes as the terminal's capabilities can say it.
#pragma once

#include "capabilities.hpp"
#include "screen_buffer.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TerminalView {
public:
  // The capabilities outlive the view. Colour needs eight colours at least, and a way back to
  // the terminal's own.
  TerminalView(const Capabilities &capabilities, bool colourAllowed, bool lightBackground);

  // Appends the bytes that make the terminal show the buffer's window and its cursor, and report
  // the mouse or not: nothing when it already does.
  void update(const ScreenBuffer &screen, bool mouse, std::string &out);
  // Appends what turns the terminal's mouse reports on or off, if they are not so already.
  void reportMouse(bool on, std::string &out);
  // The terminal's picture can no longer be trusted (a resume, a resize, Ctrl-L): the next update
  // clears it and paints it whole, as many rows as the buffer's window has then. After a stop,
  // neither can its colour: another program had the terminal meanwhile.
  void forget(bool colourToo = false) {
    known = false;
    if (colourToo)
      colour = -1;
  }
  // Appends the bytes that give the terminal back after an update: its own colour, no mouse
  // reports, and the cursor at the start of a line of its own.
  void leave(const ScreenBuffer &screen, std::string &out);
  // Appends what brings the terminal's own colour back, if it is not in force.
  void useTerminalColour(std::string &out);
  // The whole screen blank, the cursor at the top left.
  std::string clearing() const;
  // A line ended: the cursor at the start of the next, which scrolls up from the last.
  std::string lineEnd(bool lastRow) const;

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
  // How many cells of a row, from the change's column `at` on, one sequence can paint: the same
  // as it, next to each other, needing paint, and before the column `limit`.
  std::int16_t sameRun(const Wanted &wanted, const Change &change, std::size_t at,
                       std::int16_t limit) const;
  void moveTo(Position to, const Wanted &wanted, std::string &out);
  bool canRewrite(const Wanted &wanted, std::int16_t row, std::int16_t from, std::int16_t to) const;
  void rewritten(const Wanted &wanted, std::int16_t row, std::int16_t from, std::int16_t to);
  void useColour(std::int8_t colour, std::string &out);
  std::string colourChange(std::int8_t from, std::int8_t to) const;
  // By that many cells one way: with the capability that takes a count, or the one for a single
  // cell said again, whichever is shorter; empty when the terminal has neither.
  std::optional<std::string> by(const Capabilities::One &many, const std::string &one,
                                int cells) const;
  int rowCost(const ScreenBuffer::Row &have, const ScreenBuffer::Row &wanted, std::int16_t erase,
              std::int16_t end) const;
  std::int16_t whereToErase(const ScreenBuffer::Row &have, const ScreenBuffer::Row &wanted,
                            std::int16_t end) const;

  const Capabilities *capabilities;
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
  // Whether the terminal reports the mouse: off until the game asks, and again once it has asked
  // for none, given the terminal back or stopped.
  bool mouseOn = false;
};
