// Replies reach the game one line at a time, as a terminal in line mode delivers them, whatever
// the input is. So the rest of a typed line is always known (and can be dropped), and every line
// is reported once, when it arrives, to whoever has to show it on the screen.
#pragma once

#include <cstddef>
#include <functional>
#include <streambuf>
#include <string>
#include <string_view>

class LineInput : public std::streambuf {
public:
  // Fills the buffer with up to n bytes; 0 or less means the input has ended.
  using Reader = std::function<std::ptrdiff_t(char *buffer, std::size_t n)>;
  // Told about each line as it is handed out; quiet lines are not reported.
  using LineSeen = std::function<void(std::string_view line)>;

  LineInput(Reader reader, LineSeen lineSeen);

  // Drops the rest of the line already handed out.
  void discardLine();
  // The next character, from a line that is not reported if it has to be fetched; -1 at the end.
  int takeQuietly();
  // Everything up to and including the next line end; false when the input ended first.
  bool takeLine();

protected:
  int_type underflow() override;

private:
  bool nextLine();

  Reader reader;
  LineSeen lineSeen;
  std::string unread;
  std::string line;
  bool ended = false;
  bool quiet = false;
};
