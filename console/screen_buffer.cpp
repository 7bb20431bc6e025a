#include "screen_buffer.hpp"

#include <algorithm>

namespace {

const ScreenBuffer::Row emptyRow{};

} // namespace

void ScreenBuffer::write(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (joinsLastGlyph(c)) {
    --continuations;
    return;
  }
  continuations = 0;
  if (c == '\n') {
    lineFeed();
  } else if (byte < 0x20 || byte == 0x7f) {
    put('^');
    put(static_cast<char>(byte ^ 0x40));
  } else if (byte < 0x80) {
    put(c);
  } else {
    continuations = continuationsAfter(byte);
    put('?');
  }
}

bool ScreenBuffer::joinsLastGlyph(char c) const {
  return continuations > 0 && continuesCharacter(static_cast<unsigned char>(c));
}

void ScreenBuffer::clear() {
  lines.clear();
  cursorAt = {};
  wrapPending = false;
  top = 0;
}

bool ScreenBuffer::place(std::int16_t column, std::int16_t row) {
  // Negative positions wrap round to large ones.
  if (static_cast<std::uint16_t>(column) >= width || static_cast<std::uint16_t>(row) >= height)
    return false;
  cursorAt = {column, row};
  wrapPending = false;
  continuations = 0;
  follow();
  return true;
}

void ScreenBuffer::blank(Position from, Position to) {
  for (Position at = from; at.row < to.row || (at.row == to.row && at.column < to.column);) {
    cell(at) = Cell{};
    if (++at.column == width) {
      at.column = 0;
      ++at.row;
    }
  }
}

void ScreenBuffer::eraseBackTo(Position from) {
  blank(from, nextCell());
  place(from.column, from.row);
}

void ScreenBuffer::setWindowRows(std::int16_t count) {
  rowsShown = std::min(count, height);
  // As much as fits above the cursor.
  top = static_cast<std::int16_t>(std::max(0, cursorAt.row - rowsShown + 1));
}

const ScreenBuffer::Row &ScreenBuffer::row(std::int16_t row) const {
  return static_cast<std::size_t>(row) < lines.size() ? lines[static_cast<std::size_t>(row)].cells
                                                      : emptyRow;
}

std::uint64_t ScreenBuffer::version(std::int16_t row) const {
  return static_cast<std::size_t>(row) < lines.size() ? lines[static_cast<std::size_t>(row)].version
                                                      : 0;
}

Position ScreenBuffer::nextCell() const {
  if (!wrapPending)
    return cursorAt;
  return {0, static_cast<std::int16_t>(std::min(cursorAt.row + 1, height - 1))};
}

void ScreenBuffer::put(char glyph) {
  if (wrapPending)
    lineFeed();
  cell(cursorAt) = {glyph, ink};
  if (cursorAt.column == width - 1)
    wrapPending = true;
  else
    ++cursorAt.column;
}

void ScreenBuffer::lineFeed() {
  cursorAt.column = 0;
  wrapPending = false;
  if (cursorAt.row < height - 1) {
    ++cursorAt.row;
  } else {
    cell(cursorAt); // the buffer is full: its oldest row goes
    lines.pop_front();
    lines.emplace_back();
  }
  follow();
}

Cell &ScreenBuffer::cell(Position at) {
  while (lines.size() <= static_cast<std::size_t>(at.row))
    lines.emplace_back();
  Line &line = lines[static_cast<std::size_t>(at.row)];
  line.version = ++changes;
  return line.cells[static_cast<std::size_t>(at.column)];
}

void ScreenBuffer::follow() {
  if (cursorAt.row < top)
    top = cursorAt.row;
  else if (cursorAt.row >= top + rowsShown)
    top = static_cast<std::int16_t>(cursorAt.row - rowsShown + 1);
}
