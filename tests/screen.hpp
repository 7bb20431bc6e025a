// A real terminal emulator (libvterm) holding what the game drew: every cell's character and
// colour, the cursor, and the bells rung.
#pragma once

#include <string>
#include <string_view>

struct VTerm;

class Screen {
public:
  Screen(int columns, int rows);
  ~Screen();
  Screen(const Screen &) = delete;
  Screen &operator=(const Screen &) = delete;

  // Bytes as the terminal receives them; `newlineReturns` adds the carriage return that a
  // terminal's output processing adds to a line feed when no pty stands in between.
  void feed(std::string_view bytes, bool newlineReturns);
  void resize(int columns, int rows);

  int columns() const { return width; }
  int rows() const { return height; }
  // One row's text, trailing blanks dropped.
  std::string row(int row) const;
  // One row's colours as console colours in hex, a blank for a blank cell, trailing blanks
  // dropped. Normal text (7) is the terminal's own foreground, white (15) that foreground in bold;
  // '?' marks what the game never sends (grey or white as a palette colour, bold on a colour).
  std::string colours(int row) const;
  int cursorColumn() const;
  int cursorRow() const;
  int bells() const { return bellCount; }

private:
  VTerm *term;
  int width;
  int height;
  int bellCount = 0;
};
