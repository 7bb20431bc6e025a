// Replies reach the game one line at a time, whatever the input is, so the rest of a typed line is
// always known and can be dropped. Shared by both backends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

// A reply longer than this is no number: only its start is kept, and the line is refused once.
inline constexpr std::size_t longestReply = 255;

// Input bytes, fetched from a reader as they are needed.
class ByteQueue {
public:
  // Fills the buffer with up to n bytes, waiting as long as the time allows (below 0: as long as
  // it takes), which it counts down. How many; 0 when the time is up; below 0 once the input has
  // ended.
  using Reader =
      std::function<std::ptrdiff_t(char *buffer, std::size_t n, std::int32_t &milliseconds)>;
  static constexpr int ended = -1;
  static constexpr int late = -2; // nothing came in time
  explicit ByteQueue(Reader reader) : reader(std::move(reader)) {}

  // The next byte, waiting for it as long as the time allows, counted down; ended or late if
  // none.
  int next(std::int32_t &milliseconds);
  int next() {
    std::int32_t forever = -1;
    return next(forever);
  }
  // The same, left to be read next.
  int peek(std::int32_t &milliseconds);
  // Whether a byte is there without waiting.
  bool available() const { return at < bytes.size(); }
  // Passes over the bytes there that are this one, waiting for none.
  void skip(char c) {
    while (available() && bytes[at] == c)
      ++at;
  }
  // Bytes to be read again, before the rest.
  void putBack(std::string_view again) {
    std::string joined(again);
    joined.append(bytes, at);
    bytes.swap(joined);
    at = 0;
  }
  // Every byte read from now on is added to `taken` too; nullptr: no more.
  void record(std::string *taken) { recording = taken; }

private:
  Reader reader;
  std::string bytes;
  std::size_t at = 0;
  std::string *recording = nullptr;
  // The input has ended.
  bool over = false;
};

// The next line, without its line end ("\r\n" counts as one); at most longestReply bytes are kept.
// False when the input ended before any byte of it.
bool readPlainLine(ByteQueue &input, std::string &line);

class LineInput : public std::streambuf {
public:
  // The next line, without its line end; false when the input has ended. Unless `blankCounts`, a
  // line of nothing but blanks is passed over.
  using NextLine = std::function<bool(std::string &line, bool blankCounts)>;
  explicit LineInput(NextLine nextLine) : nextLine(std::move(nextLine)) {}

  // How many bytes of the line handed out have been read from it.
  std::size_t taken() const { return static_cast<std::size_t>(gptr() - eback()); }
  // Drops the rest of the line handed out.
  void discardLine() { setg(eback(), egptr(), egptr()); }
  // Whether the rest of the line handed out holds more than blanks.
  bool hasMore() const;
  // A whole fresh line, blank or not; false when the input ended first.
  bool takeLine();
  // Whether the next line is empty: the rest of the line handed out, unless it is blank, or else a
  // fresh line, which is taken when it is empty.
  bool blankLineNext();

protected:
  int_type underflow() override;

private:
  bool fetch(bool blankCounts);

  NextLine nextLine;
  std::string line;
};
