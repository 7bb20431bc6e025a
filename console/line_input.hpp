// Replies reach the game one line at a time, whatever the input is, so the rest of a typed line is
// always known and can be dropped. Shared by both backends.
#pragma once

#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>

// A reply longer than this is no number: only its start is kept, and the line is refused once.
inline constexpr std::size_t longestReply = 255;

// Input bytes, fetched from a reader as they are needed.
class ByteQueue {
public:
  // Fills the buffer with up to n bytes; 0 or less means the input has ended.
  using Reader = std::function<std::ptrdiff_t(char *buffer, std::size_t n)>;
  explicit ByteQueue(Reader reader) : reader(std::move(reader)) {}

  // The next byte, waiting for it if need be; -1 once the input has ended.
  int next();
  // Whether a byte is there without waiting.
  bool available() const { return at < bytes.size(); }
  // Passes over the bytes there that are this one, waiting for none.
  void skip(char c) {
    while (available() && bytes[at] == c)
      ++at;
  }
  int peek() const { return static_cast<unsigned char>(bytes[at]); }

private:
  Reader reader;
  std::string bytes;
  std::size_t at = 0;
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
  // A whole fresh line, blank or not; false when the input ended first.
  bool takeLine();

protected:
  int_type underflow() override;

private:
  bool fetch(bool blankCounts);

  NextLine nextLine;
  std::string line;
};
