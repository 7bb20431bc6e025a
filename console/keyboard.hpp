// Replies and keys as the game reads them. A terminal's own echo and line editing are off while the
// game runs, so keys typed ahead wait unseen; a reply is echoed into the screen where it is read,
// in the colour in force, with Backspace, Ctrl-U, Ctrl-L and Ctrl-D on an empty line. Input that
// is not a terminal is shown a line at a time, as a terminal would have echoed it.
#pragma once

#include "line_input.hpp"
#include "screen_buffer.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Ctrl-D: on an empty reply or at a pause, the input ends.
inline constexpr char endOfInputKey = 0x04;

class Keyboard {
public:
  struct Hooks {
    std::function<void()> repaint; // Ctrl-L
    std::function<void()> ring;    // a key that has no place in a reply
  };
  Keyboard(ScreenBuffer &screen, ByteQueue::Reader reader, bool terminal, bool shown, Hooks hooks)
      : screen(screen), input(std::move(reader)), terminal(terminal), shown(shown),
        hooks(std::move(hooks)) {}

  // One line, without its line end; false when the input ended first. Unless `blankCounts`, a
  // line of nothing but blanks leaves no trace: its echo is taken back, nothing scrolls, and the
  // next line is read in its place.
  bool readLine(std::string &line, bool blankCounts);
  // One key at a pause, which no reply sees: a line when the input is not a terminal, kept in
  // `line` if given. False when the input has ended.
  bool readKey(std::string *line = nullptr);
  // Takes the last line's echo back from byte `from` of the line on, as if it had never been
  // typed; the cursor, if it stands where the line's Enter left it, goes where that Enter would
  // have left it.
  void takeBack(std::size_t from);
  // Passes over the empty lines already there, waiting for none.
  void skipWaitingLineEnds() { input.skip('\n'); }
  // The last line's echo is gone from the screen (it was cleared): nothing is left to take back.
  void forgetEcho() {
    echo = {};
    lowestEcho = -1;
  }
  // Blanks what the replies read since the last call, typed on `row`, echoed outside its first
  // `columns` cells.
  void keepEchoWithin(std::int16_t row, std::int16_t columns);
  // The terminal's report (an OSC string, such as its answer about the background), if a whole
  // one comes within the time; what is typed meanwhile stays to be read.
  std::optional<std::string> awaitReport(std::int32_t milliseconds);

  // Cells a click may pick for a reply, where each one's mark stands on the screen ([column][row]);
  // with `arrows`, the cursor keys may point at them too while the reply is empty.
  struct Targets {
    std::vector<std::vector<Position>> marks;
    bool arrows = false;
  };
  void offer(std::optional<Targets> cells) { targets = std::move(cells); }
  bool offers() const { return targets.has_value(); }
  // The cell, column and row from 1, that the last line was picked with rather than typed.
  std::optional<Position> pickedCell() const { return picked; }

private:
  // What an Escape began.
  enum class Sequence { loneEscape, key, report, arrow, mouse };

  bool editLine(std::string &line);
  bool pick(Position cell, std::string &line);
  void point();
  void stopPointing();
  std::optional<Position> clickedCell() const;
  bool plainLine(std::string &line);
  Sequence afterEscape(std::int32_t &budget);
  Sequence readReport(std::int32_t &budget);
  int following(bool take, std::int32_t &budget);
  bool hasRoom(char c) const;
  bool show(char c, std::string &line);

  // Where the last line stands on the screen.
  struct Echo {
    // Where each character of it starts, in the line and on the screen.
    struct Glyph {
      std::size_t offset;
      Position cell;
    };
    Position start;
    std::vector<Glyph> glyphs;
    // Where its Enter was typed, and where that Enter left the cursor.
    Position end;
    Position afterEnter{-1, -1};
  };

  ScreenBuffer &screen;
  ByteQueue input;
  bool terminal;
  // The screen reaches the player. In plain play it never does, so an echo there needs no room,
  // whatever the window's height and however far the hidden cursor has gone.
  bool shown;
  Hooks hooks;
  Echo echo;
  // The lowest row the replies echoed to since the screen was cleared, or since it was tidied; -1
  // for none.
  std::int16_t lowestEcho = -1;
  // The text of the last report, and whether it ended as a report ends.
  std::string report;
  bool reportWhole = false;
  // The final byte of the last arrow (A up, B down, C right, D left), and where the last mouse
  // report pressed the left button, in the buffer, if it did.
  char arrow = 0;
  std::optional<Position> click;
  std::optional<Targets> targets;
  // The cell the cursor points at, from 0, while the arrows point.
  std::optional<Position> pointing;
  std::optional<Position> picked;
  // A piped line as it came, before it is shown.
  std::string typed;
  bool firstLine = true;
};
