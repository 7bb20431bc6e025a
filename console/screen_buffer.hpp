// The picture the game has drawn, kept by the console itself as the Windows console keeps its
// screen buffer: every cell's character and colour, the cursor, and the window the terminal shows.
// Positions are the buffer's own, so rows that scroll out of the window keep their numbers.
#pragma once

#include <array>
#include <cstdint>
#include <deque>

struct Cell {
  char glyph = ' ';
  std::int8_t colour = 7;
};

// Blanks look alike whatever their colour.
inline bool looksAlike(const Cell &a, const Cell &b) {
  return a.glyph == b.glyph && (a.glyph == ' ' || a.colour == b.colour);
}

// UTF-8: whether a byte continues a character, and how many bytes continue the one it starts (0 for
// a byte that starts none).
inline bool continuesCharacter(unsigned char byte) {
  return (byte & 0xc0) == 0x80;
}
inline int continuationsAfter(unsigned char first) {
  if (first >= 0xc2 && first <= 0xdf)
    return 1;
  if (first >= 0xe0 && first <= 0xef)
    return 2;
  if (first >= 0xf0 && first <= 0xf4)
    return 3;
  return 0;
}

struct Position {
  std::int16_t column = 0;
  std::int16_t row = 0;
  bool operator==(const Position &) const = default;
};

class ScreenBuffer {
public:
  // The game's widest screen is 80 columns; replies wrap there, as in an 80-column console.
  static constexpr std::int16_t width = 80;
  // A line end on the last row pushes the oldest row out, as in a full console buffer.
  static constexpr std::int16_t height = 1000;
  using Row = std::array<Cell, width>;

  // Printable ASCII lands at the cursor in the current colour and the cursor moves on, waiting at
  // the last column until the next character wraps; '\n' goes to column 0 of the next row. Other
  // control bytes show in caret form (^[), any other UTF-8 character as one '?', and a byte that
  // neither starts nor continues one as a '?' of its own.
  void write(char c);
  // Whether the byte is the rest of the character written last, and so shows nothing.
  bool joinsLastGlyph(char c) const;
  // Whole buffer blank, the cursor and the window at the top.
  void clear();
  // False, the cursor unmoved, for a position outside the buffer. The window follows the cursor.
  bool place(std::int16_t column, std::int16_t row);
  // Blanks the cells from `from` up to `to`, in reading order.
  void blank(Position from, Position to);
  // Takes back what was written from `from` on: blanks it and puts the cursor there.
  void eraseBackTo(Position from);
  void setColour(std::int8_t colour) { ink = colour; }
  void setWindowRows(std::int16_t rows);

  // Blank beyond the rows written so far.
  const Row &row(std::int16_t row) const;
  // Changes with every change of the row, and never comes back: a row with the same version as
  // before is the same row. 0 for a row never written.
  std::uint64_t version(std::int16_t row) const;
  Position cursor() const { return cursorAt; }
  // Where the next character will land.
  Position nextCell() const;
  std::int16_t windowTop() const { return top; }
  std::int16_t windowRows() const { return rowsShown; }

private:
  void put(char glyph);
  void lineFeed();
  Cell &cell(Position at);
  void follow();

  struct Line {
    Row cells;
    std::uint64_t version = 0;
  };
  std::deque<Line> lines;
  // The version of the latest change.
  std::uint64_t changes = 0;
  Position cursorAt;
  bool wrapPending = false;
  // Bytes still to come of the UTF-8 character written last.
  int continuations = 0;
  std::int8_t ink = 7;
  std::int16_t top = 0;
  std::int16_t rowsShown = 24;
};
