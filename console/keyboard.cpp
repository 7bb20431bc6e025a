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
  for (;;) {
    const int c = input.next();
    if (c < 0)
      return !line.empty();
    if (c == '\r' || c == '\n') {
      screen.write('\n');
      return true;
    }
    if (c == 0x7f || c == '\b' || c == eraseLine) {
      if (typed.empty())
        continue;
      const Typed from = c == eraseLine ? typed.front() : typed.back();
      screen.eraseBackTo(from.cell);
      line.resize(from.length);
      typed.resize(c == eraseLine ? 0 : typed.size() - 1);
    } else if (c == endOfInput) {
      if (line.empty())
        return false;
    } else if (c == redraw) {
      repaint();
    } else if (line.size() < longestReply) {
      if (!isContinuation(c) || typed.empty())
        typed.push_back({line.size(), screen.nextCell()});
      line.push_back(static_cast<char>(c));
      screen.write(static_cast<char>(c));
    }
  }
}

bool Keyboard::readKey() {
  if (!terminal) {
    std::string line;
    return readPlainLine(input, line);
  }
  for (;;) {
    const int c = input.next();
    if (c < 0 || c == endOfInput)
      return false;
    if (c == redraw) {
      repaint();
      continue;
    }
    skipRestOfKey(c);
    return true;
  }
}

// A key's escape sequence or a multi-byte character comes in one piece: what of it has arrived
// belongs to the same key.
void Keyboard::skipRestOfKey(int first) {
  if (first == escape && input.available()) {
    const int second = input.next();
    if (second == '[') {
      // Parameter and intermediate bytes run below 0x40, up to the final byte.
      for (int c = 0; c < 0x40 && input.available();)
        c = input.next();
    } else if (second == 'O' && input.available()) {
      input.next();
    }
    return;
  }
  if (first >= 0xc0)
    while (input.available() && isContinuation(input.peek()))
      input.next();
}
