#include "keyboard.hpp"

#include <vector>

namespace {

constexpr int escape = 0x1b;
constexpr int endOfInput = 0x04; // Ctrl-D
constexpr int redraw = 0x0c;     // Ctrl-L
constexpr int eraseLine = 0x15;  // Ctrl-U

bool isContinuation(int byte) {
  return (byte & 0xc0) == 0x80;
}

} // namespace

bool Keyboard::readLine(std::string &line) {
  if (terminal)
    return editLine(line);
  if (!readPlainLine(input, line))
    return false;
  for (const char c : line)
    screen.write(c);
  screen.write('\n');
  return true;
}

bool Keyboard::editLine(std::string &line) {
  line.clear();
  // Where each character typed starts, in the line and on the screen, to take it back.
  struct Typed {
    std::size_t length;
    Position cell;
  };
  std::vector<Typed> typed;
  for (int c = input.next(); c != '\r' && c != '\n'; c = input.next()) {
    if (c < 0 || (c == endOfInput && line.empty()))
      return false;
    if (c == 0x7f || c == '\b' || c == eraseLine) {
      if (typed.empty())
        continue;
      const Typed from = c == eraseLine ? typed.front() : typed.back();
      screen.eraseBackTo(from.cell);
      line.resize(from.length);
      typed.resize(c == eraseLine ? 0 : typed.size() - 1);
    } else if (c == redraw) {
      repaint();
    } else if (c != endOfInput && line.size() < longestReply) {
      if (!isContinuation(c))
        typed.push_back({line.size(), screen.nextCell()});
      line.push_back(static_cast<char>(c));
      screen.write(static_cast<char>(c));
    }
  }
  screen.write('\n');
  return true;
}

bool Keyboard::readKey() {
  if (!terminal) {
    std::string line;
    return readPlainLine(input, line);
  }
  int c = input.next();
  for (; c == redraw; c = input.next())
    repaint();
  if (c < 0 || c == endOfInput)
    return false;
  // A key's escape sequence, or a character of several bytes, comes in one piece: what of it has
  // arrived belongs to the same key.
  if (c == escape && input.available()) {
    const int second = input.next();
    // CSI and SS3: parameter and intermediate bytes run below 0x40, up to the final byte.
    if (second == '[' || second == 'O')
      for (c = 0; c < 0x40 && input.available();)
        c = input.next();
  }
  while (input.available() && isContinuation(input.peek()))
    input.next();
  return true;
}
