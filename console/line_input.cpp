#include "line_input.hpp"

#include <algorithm>
#include <array>

int ByteQueue::peek(std::int32_t &milliseconds) {
  // The end is kept: a terminal says it once, for Ctrl-D, and then waits for more.
  if (!available() && !over) {
    std::array<char, 4096> chunk{};
    const std::ptrdiff_t got = reader(chunk.data(), chunk.size(), milliseconds);
    over = got < 0;
    if (got <= 0)
      return got == 0 ? late : ended;
    bytes.assign(chunk.data(), static_cast<std::size_t>(got));
    at = 0;
  }
  return available() ? static_cast<unsigned char>(bytes[at]) : ended;
}

int ByteQueue::next(std::int32_t &milliseconds) {
  const int c = peek(milliseconds);
  if (c >= 0) {
    ++at;
    if (recording != nullptr)
      *recording += static_cast<char>(c);
  }
  return c;
}

bool readPlainLine(ByteQueue &input, std::string &line) {
  line.clear();
  for (;;) {
    const int c = input.next();
    if (c < 0)
      return !line.empty();
    if (c == '\n')
      break;
    if (line.size() < longestReply)
      line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r')
    line.pop_back();
  return true;
}

bool LineInput::takeLine() {
  discardLine();
  if (!fetch(true))
    return false;
  discardLine();
  return true;
}

bool LineInput::hasMore() const {
  return !std::all_of(gptr(), egptr(), [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
}

bool LineInput::blankLineNext() {
  if (hasMore() || !fetch(true) || hasMore())
    return false;
  discardLine();
  return true;
}

LineInput::int_type LineInput::underflow() {
  if (!fetch(false))
    return traits_type::eof();
  return traits_type::to_int_type(line.front());
}

bool LineInput::fetch(bool blankCounts) {
  if (!nextLine(line, blankCounts))
    return false;
  line.push_back('\n');
  setg(line.data(), line.data(), line.data() + line.size());
  return true;
}
