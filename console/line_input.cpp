#include "line_input.hpp"

#include <algorithm>
#include <utility>

LineInput::LineInput(Reader reader, LineSeen lineSeen)
    : reader(std::move(reader)), lineSeen(std::move(lineSeen)) {
  setg(nullptr, nullptr, nullptr);
}

void LineInput::discardLine() {
  setg(eback(), egptr(), egptr());
}

int LineInput::takeQuietly() {
  quiet = true;
  const int_type c = sbumpc();
  quiet = false;
  return traits_type::eq_int_type(c, traits_type::eof()) ? -1 : traits_type::to_int_type(c);
}

bool LineInput::takeLine() {
  for (;;) {
    const int_type c = sbumpc();
    if (traits_type::eq_int_type(c, traits_type::eof()))
      return false;
    if (traits_type::to_char_type(c) == '\n')
      return true;
  }
}

LineInput::int_type LineInput::underflow() {
  if (gptr() < egptr())
    return traits_type::to_int_type(*gptr());
  if (!nextLine())
    return traits_type::eof();
  return traits_type::to_int_type(*gptr());
}

// Like a terminal's line buffer: input that never ends a line is handed out in pieces this long,
// instead of being held without bound.
constexpr std::size_t longestLine = 4096;

bool LineInput::nextLine() {
  std::size_t end = unread.find('\n');
  while (end == std::string::npos && !ended && unread.size() < longestLine) {
    char chunk[4096];
    const std::ptrdiff_t got = reader(chunk, sizeof chunk);
    if (got <= 0) {
      ended = true;
      break;
    }
    unread.append(chunk, static_cast<std::size_t>(got));
    end = unread.find('\n');
  }
  if (unread.empty())
    return false;
  const std::size_t length =
      std::min(end == std::string::npos ? unread.size() : end + 1, longestLine);
  line.assign(unread, 0, length);
  unread.erase(0, length);
  setg(line.data(), line.data(), line.data() + line.size());
  if (!quiet)
    lineSeen(line);
  return true;
}
