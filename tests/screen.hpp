// A real terminal emulator (libvterm) holding what the game drew: the character and colour at
// every position, the cursor, and the bells rung.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct VTerm;

class Screen {
public:
  explicit Screen(int columns = 80, int rows = 24);
  ~Screen();
  Screen(const Screen &) = delete;
  Screen &operator=(const Screen &) = delete;

  // Bytes as a program wrote them. Without a pty in between, line feeds are given the carriage
  // return a terminal's output processing would add.
  void feed(std::string_view bytes, bool addCarriageReturns);

  char at(int column, int row) const;
  // The console colour (0..15) of the character at a position: 7 is the terminal's own.
  std::int32_t colourAt(int column, int row) const;
  // One row's text, trailing blanks dropped.
  std::string row(int row) const;
  // Every row, trailing blank rows dropped, one line each.
  std::string text() const;
  int cursorColumn() const;
  int cursorRow() const;
  int bells() const { return bellCount; }
  int columns() const { return width; }
  int rows() const { return height; }

private:
  VTerm *term;
  int width;
  int height;
  int bellCount = 0;
};
