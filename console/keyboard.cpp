#include "keyboard.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr int escape = 0x1b;
constexpr int redraw = 0x0c;    // Ctrl-L
constexpr int eraseLine = 0x15; // Ctrl-U
// String terminator in its one-byte form, which ends a report as ESC \ does.
constexpr int stringTerminator = 0x9c;
// Ctrl-Z, then Enter, ends the input in a Windows console.
constexpr std::string_view windowsEndOfInput = "\x1a";
// Editors on Windows start a UTF-8 file with it.
constexpr std::string_view byteOrderMark = "\xef\xbb\xbf";
// How long the rest of a key's escape sequence may take to come after each of its bytes, as
// readline and tmux wait: enough for a slow link, short enough for Escape as a key of its own.
constexpr std::int32_t escapeWait = 500;
// A report any longer is none the game asked for.
constexpr std::size_t longestReport = 64;

bool isBlankLine(const std::string &line) {
  return line.find_first_not_of(" \t") == std::string::npos;
}

bool isPrintable(int c) {
  return c >= 0x20 && c < 0x7f;
}

} // namespace

bool Keyboard::readLine(std::string &line, bool blankCounts) {
  for (;;) {
    // A paste of empty lines passes in one go.
    if (!terminal && !blankCounts && !firstLine)
      input.skip('\n');
    echo.glyphs.clear();
    echo.start = screen.nextCell();
    if (!(terminal ? editLine(line) : plainLine(line)))
      return false;
    if (blankCounts || !isBlankLine(line))
      break;
    if (!echo.glyphs.empty())
      screen.eraseBackTo(echo.start);
  }
  echo.end = screen.nextCell();
  screen.write('\n');
  echo.afterEnter = screen.cursor();
  return true;
}

bool Keyboard::editLine(std::string &line) {
  line.clear();
  picked.reset();
  pointing.reset();
  for (int c = input.next();; c = input.next()) {
    // Enter or Space plays the cell pointed at, as a click does.
    if (pointing && (c == '\r' || c == '\n' || c == ' '))
      return pick(*pointing, line);
    if (c == '\r' || c == '\n')
      break;
    if (c < 0 || (c == endOfInputKey && line.empty()))
      return false;
    if (c == escape) {
      // Arrows point where a move is asked; Home, function keys and Escape itself are nothing a
      // number needs; the terminal's reports are not keys at all, and a click takes a cell.
      std::int32_t unbounded = -1;
      switch (afterEscape(unbounded)) {
      case Sequence::report:
        break;
      case Sequence::mouse:
        if (const std::optional<Position> cell = clickedCell())
          return pick(*cell, line);
        break;
      case Sequence::arrow:
        if (targets && targets->arrows && line.empty())
          point();
        else
          hooks.ring();
        break;
      case Sequence::loneEscape:
        if (pointing)
          stopPointing();
        else
          hooks.ring();
        break;
      case Sequence::key:
        hooks.ring();
        break;
      }
    } else if (c == redraw) {
      hooks.repaint();
    } else if (pointing && c != endOfInputKey) {
      // Any other key leaves pointing: Backspace and Ctrl-U with nothing more, a digit to be
      // typed as if no arrow had been pressed.
      stopPointing();
      if (c != 0x7f && c != '\b' && c != eraseLine && !show(static_cast<char>(c), line))
        hooks.ring();
    } else if (c == 0x7f || c == '\b' || c == eraseLine) {
      if (echo.glyphs.empty())
        continue;
      const Echo::Glyph from = c == eraseLine ? echo.glyphs.front() : echo.glyphs.back();
      screen.eraseBackTo(from.cell);
      line.resize(from.offset);
      echo.glyphs.resize(c == eraseLine ? 0 : echo.glyphs.size() - 1);
    } else if (c != endOfInputKey &&
               (line.size() >= longestReply || !show(static_cast<char>(c), line))) {
      hooks.ring();
    }
  }
  return line != windowsEndOfInput;
}

// The cell's column and row, as a player would type them, take the place of whatever the reply
// held; its echo goes, and the cursor stands where the reply began.
bool Keyboard::pick(Position cell, std::string &line) {
  if (!echo.glyphs.empty())
    screen.eraseBackTo(echo.start);
  echo.glyphs.clear();
  screen.place(echo.start.column, echo.start.row);
  pointing.reset();
  picked =
      Position{static_cast<std::int16_t>(cell.column + 1), static_cast<std::int16_t>(cell.row + 1)};
  line = std::to_string(picked->column) + ' ' + std::to_string(picked->row);
  return true;
}

// The first arrow points at the middle cell, each one after it a cell further, up to the edge.
void Keyboard::point() {
  const auto side = static_cast<std::int16_t>(targets->marks.size());
  if (!pointing) {
    const auto middle = static_cast<std::int16_t>((side + 1) / 2 - 1);
    pointing = Position{middle, middle};
  } else {
    const auto step = [side](std::int16_t at, int by) {
      return static_cast<std::int16_t>(std::clamp(at + by, 0, side - 1));
    };
    pointing->column = step(pointing->column, arrow == 'C' ? 1 : arrow == 'D' ? -1 : 0);
    pointing->row = step(pointing->row, arrow == 'B' ? 1 : arrow == 'A' ? -1 : 0);
  }
  const Position mark = targets->marks[static_cast<std::size_t>(pointing->column)]
                                      [static_cast<std::size_t>(pointing->row)];
  screen.place(mark.column, mark.row);
}

void Keyboard::stopPointing() {
  pointing.reset();
  screen.place(echo.start.column, echo.start.row);
}

// The cell whose three characters (its numbers and its mark) a press of the left button, the
// last report, was on; none for anything else.
std::optional<Position> Keyboard::clickedCell() const {
  if (!targets || !click)
    return std::nullopt;
  for (std::size_t c = 0; c < targets->marks.size(); ++c)
    for (std::size_t r = 0; r < targets->marks[c].size(); ++r) {
      const Position mark = targets->marks[c][r];
      if (mark.row == click->row && std::abs(mark.column - click->column) <= 1)
        return Position{static_cast<std::int16_t>(c), static_cast<std::int16_t>(r)};
    }
  return std::nullopt;
}

bool Keyboard::plainLine(std::string &line) {
  if (!readPlainLine(input, line))
    return false;
  if (std::exchange(firstLine, false) && line.starts_with(byteOrderMark))
    line.erase(0, byteOrderMark.size());
  typed.swap(line);
  line.clear();
  for (const char c : typed)
    if (!show(c, line))
      break;
  return true;
}

// The echo never reaches the window's last row, so that neither it nor the Enter after it
// scrolls the picture.
bool Keyboard::hasRoom(char c) const {
  if (!shown || screen.joinsLastGlyph(c))
    return true;
  const auto byte = static_cast<unsigned char>(c);
  const bool caret = byte < 0x20 || byte == 0x7f; // shown as ^X, two cells
  const Position at = screen.nextCell();
  const int lastRow = screen.windowTop() + screen.windowRows() - 1;
  return at.row < lastRow - 1 ||
         (at.row == lastRow - 1 && at.column + (caret ? 1 : 0) < ScreenBuffer::width);
}

bool Keyboard::show(char c, std::string &line) {
  if (!hasRoom(c))
    return false;
  if (!screen.joinsLastGlyph(c)) {
    echo.glyphs.push_back({line.size(), screen.nextCell()});
    lowestEcho = std::max(lowestEcho, screen.nextCell().row);
  }
  line.push_back(c);
  screen.write(c);
  return true;
}

void Keyboard::takeBack(std::size_t from) {
  const auto first = std::find_if(echo.glyphs.begin(), echo.glyphs.end(),
                                  [&](const Echo::Glyph &glyph) { return glyph.offset >= from; });
  if (first == echo.glyphs.end())
    return;
  screen.blank(first->cell, echo.end);
  echo.end = first->cell;
  const Position lastKept = first == echo.glyphs.begin() ? echo.start : (first - 1)->cell;
  echo.glyphs.erase(first, echo.glyphs.end());
  if (screen.cursor() == echo.afterEnter) {
    screen.place(0, static_cast<std::int16_t>(lastKept.row + 1));
    echo.afterEnter = screen.cursor();
  }
}

// Replies are typed on `row`, and their echo runs on from there: what it left beyond the field and
// on the rows below is all echo.
void Keyboard::keepEchoWithin(std::int16_t row, std::int16_t columns) {
  if (lowestEcho >= row)
    screen.blank({columns, row}, {0, static_cast<std::int16_t>(lowestEcho + 1)});
  lowestEcho = -1;
}

bool Keyboard::readKey(std::string *line) {
  if (!terminal) {
    std::string read;
    return readPlainLine(input, line != nullptr ? *line : read);
  }
  for (;;) {
    const int c = input.next();
    if (c == redraw) {
      hooks.repaint();
      continue;
    }
    if (c < 0 || c == endOfInputKey)
      return false;
    std::int32_t unbounded = -1;
    if (c == escape) {
      const Sequence sequence = afterEscape(unbounded);
      if (sequence == Sequence::report || sequence == Sequence::mouse)
        continue;
    }
    // A character of several bytes is one key.
    for (int n = continuationsAfter(static_cast<unsigned char>(c)); n > 0; --n) {
      const int next = following(false, unbounded);
      if (next < 0 || !continuesCharacter(static_cast<unsigned char>(next)))
        break;
      input.next();
    }
    return true;
  }
}

std::optional<std::string> Keyboard::awaitReport(std::int32_t milliseconds) {
  std::string kept, taken;
  std::optional<std::string> answer;
  input.record(&taken);
  while (milliseconds > 0 && !answer) {
    taken.clear();
    const int c = input.next(milliseconds);
    if (c < 0)
      break;
    if (c == escape && afterEscape(milliseconds) == Sequence::report) {
      // One cut short is dropped, and the wait goes on.
      if (reportWhole)
        answer = report;
      continue;
    }
    kept += taken;
  }
  input.record(nullptr);
  input.putBack(kept);
  return answer;
}

// The next byte of a key's sequence, taken or left to be read, as long as the escape wait and
// the budget (below 0: none) allow; the budget is counted down.
int Keyboard::following(bool take, std::int32_t &budget) {
  std::int32_t wait = budget < 0 ? escapeWait : std::min(escapeWait, budget);
  const std::int32_t allowed = wait;
  const int c = take ? input.next(wait) : input.peek(wait);
  if (budget >= 0)
    budget -= allowed - wait;
  return c;
}

// What follows an Escape, read whole however its bytes arrive: a CSI or SS3 sequence up to its
// final byte (an arrow, a function key, a mouse report), a character typed with Alt, or a
// report. Nothing in time, or a control key, and the Escape is a key of its own.
Keyboard::Sequence Keyboard::afterEscape(std::int32_t &budget) {
  const int second = following(false, budget);
  if (second == ']') {
    input.next();
    return readReport(budget);
  }
  if (!isPrintable(second))
    return Sequence::loneEscape;
  input.next();
  if (second != '[' && second != 'O')
    return Sequence::key;
  // CSI's parameter and intermediate bytes run below 0x40, up to its final byte; SS3 has one.
  std::string parameters;
  int final = 0;
  for (int c = following(false, budget); isPrintable(c); c = following(false, budget)) {
    input.next();
    if (c >= 0x40 || second == 'O') {
      final = c;
      break;
    }
    parameters += static_cast<char>(c);
  }
  if (parameters.empty() && final >= 'A' && final <= 'D') {
    arrow = static_cast<char>(final);
    return Sequence::arrow;
  }
  click.reset();
  // A mouse report as a terminal sends it without SGR's encoding (X10: three bytes of button and
  // position) is taken whole and placed nowhere.
  if (second == '[' && final == 'M' && parameters.empty()) {
    for (int n = 0; n < 3 && following(true, budget) >= 0; ++n) {
    }
    return Sequence::mouse;
  }
  if (!parameters.starts_with('<'))
    return Sequence::key;
  // SGR: CSI < button ; column ; row M for a press, m for a release, counted from 1 in the
  // window. Only a press of the left button, with or without shift, alt or control, is a click.
  int button = -1, column = 0, row = 0, end = 0;
  if (final == 'M' &&
      std::sscanf(parameters.c_str(), "<%d;%d;%d%n", &button, &column, &row, &end) == 3 &&
      static_cast<std::size_t>(end) == parameters.size() && (button & ~(4 | 8 | 16)) == 0 &&
      column >= 1 && column <= ScreenBuffer::width && row >= 1 && row <= screen.windowRows())
    click = Position{static_cast<std::int16_t>(column - 1),
                     static_cast<std::int16_t>(screen.windowTop() + row - 1)};
  return Sequence::mouse;
}

// An OSC string: its text up to BEL or ST. A byte that cannot be in it, or a pause, ends it
// short, and that byte is read as typed; the text is never typed, however long.
Keyboard::Sequence Keyboard::readReport(std::int32_t &budget) {
  report.clear();
  reportWhole = false;
  for (int c = following(false, budget);; c = following(false, budget)) {
    if (c == '\a' || c == stringTerminator) {
      input.next();
      reportWhole = true;
    } else if (c == escape) {
      input.next();
      if (following(false, budget) == '\\') {
        input.next();
        reportWhole = true;
      } else {
        input.putBack("\x1b"); // the start of the next key
      }
    } else if (isPrintable(c)) {
      input.next();
      if (report.size() <= longestReport)
        report.push_back(static_cast<char>(c));
      continue;
    }
    break;
  }
  reportWhole = reportWhole && report.size() <= longestReport;
  return Sequence::report;
}
