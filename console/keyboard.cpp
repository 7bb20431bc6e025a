#include "keyboard.hpp"

#include <algorithm>
#include <utility>

namespace {

constexpr int escape = 0x1b;
constexpr int endOfInput = 0x04; // Ctrl-D
constexpr int redraw = 0x0c;     // Ctrl-L
constexpr int eraseLine = 0x15;  // Ctrl-U
// Ctrl-Z, then Enter, ends the input in a Windows console.
constexpr std::string_view windowsEndOfInput = "\x1a";
// Editors on Windows start a UTF-8 file with it.
constexpr std::string_view byteOrderMark = "\xef\xbb\xbf";

bool isContinuation(int byte) {
  return (byte & 0xc0) == 0x80;
}

bool isBlankLine(const std::string &line) {
  return line.find_first_not_of(" \t") == std::string::npos;
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
  for (int c = input.next(); c != '\r' && c != '\n'; c = input.next()) {
    if (c < 0 || (c == endOfInput && line.empty()))
      return false;
    if (c == 0x7f || c == '\b' || c == eraseLine) {
      if (echo.glyphs.empty())
        continue;
      const Echo::Glyph from = c == eraseLine ? echo.glyphs.front() : echo.glyphs.back();
      screen.eraseBackTo(from.cell);
      line.resize(from.offset);
      echo.glyphs.resize(c == eraseLine ? 0 : echo.glyphs.size() - 1);
    } else if (c == redraw) {
      hooks.repaint();
    } else if (c == escape) {
      // Arrows, Home and function keys: nothing a number needs.
      skipKeySequence(c);
      hooks.ring();
    } else if (c != endOfInput && line.size() < longestReply) {
      show(static_cast<char>(c), line);
    }
  }
  return line != windowsEndOfInput;
}

bool Keyboard::plainLine(std::string &line) {
  if (!readPlainLine(input, line))
    return false;
  if (std::exchange(firstLine, false) && line.starts_with(byteOrderMark))
    line.erase(0, byteOrderMark.size());
  typed.swap(line);
  line.clear();
  for (const char c : typed)
    show(c, line);
  return true;
}

void Keyboard::show(char c, std::string &line) {
  if (!screen.joinsLastGlyph(c))
    echo.glyphs.push_back({line.size(), screen.nextCell()});
  line.push_back(c);
  screen.write(c);
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

bool Keyboard::readKey() {
  if (!terminal) {
    std::string line;
    return readPlainLine(input, line);
  }
  int c = input.next();
  for (; c == redraw; c = input.next())
    hooks.repaint();
  if (c < 0 || c == endOfInput)
    return false;
  skipKeySequence(c);
  return true;
}

// A key's escape sequence, or a character of several bytes, comes in one piece: what of it has
// arrived belongs to the same key.
void Keyboard::skipKeySequence(int first) {
  if (first == escape && input.available()) {
    const int second = input.next();
    // CSI and SS3: parameter and intermediate bytes run below 0x40, up to the final byte.
    if (second == '[' || second == 'O')
      for (int c = 0; c < 0x40 && input.available();)
        c = input.next();
  }
  while (input.available() && isContinuation(input.peek()))
    input.next();
}
