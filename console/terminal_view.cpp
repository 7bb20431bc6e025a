#include "terminal_view.hpp"

#include "vt.hpp"

#include <algorithm>

namespace {

// The last cell that is not blank, or -1.
std::int16_t lastGlyph(const ScreenBuffer::Row &row) {
  for (auto column = static_cast<std::int16_t>(row.size() - 1); column >= 0; --column)
    if (row[static_cast<std::size_t>(column)].glyph != ' ')
      return column;
  return -1;
}

} // namespace

void TerminalView::update(const ScreenBuffer &screen, std::string &out) {
  const std::int16_t rows = screen.windowRows();
  if (!known) {
    out += vt::clearScreen;
    shown.assign(static_cast<std::size_t>(rows), ScreenBuffer::Row{});
    shownTop = screen.windowTop();
    cursor = {};
    known = true;
  }
  // A window moved down is scrolled as a terminal scrolls: line ends on its last row.
  const int scrolled = std::min(screen.windowTop() - shownTop, static_cast<int>(rows));
  if (scrolled > 0) {
    moveTo(0, static_cast<std::int16_t>(rows - 1), out);
    out.append(static_cast<std::size_t>(scrolled), '\n');
    shown.erase(shown.begin(), shown.begin() + scrolled);
    shown.resize(static_cast<std::size_t>(rows));
  }
  shownTop = screen.windowTop();
  for (std::int16_t row = 0; row < rows; ++row)
    paintRow(screen, row, out);
  moveTo(screen.cursor().column, static_cast<std::int16_t>(screen.cursor().row - shownTop), out);
}

void TerminalView::leave(const ScreenBuffer &screen, std::string &out) {
  if (colour != -1 && colour != 7)
    out += vt::resetAttributes;
  colour = -1;
  if (screen.cursor().column != 0 || screen.nextCell().row != screen.cursor().row)
    out += "\r\n";
  known = false;
}

void TerminalView::useTerminalColour(std::string &out) {
  if (colourAllowed && colour != 7)
    out += vt::resetAttributes;
  colour = 7;
}

void TerminalView::paintRow(const ScreenBuffer &screen, std::int16_t row, std::string &out) {
  ScreenBuffer::Row wanted;
  for (std::int16_t column = 0; column < ScreenBuffer::width; ++column)
    wanted[static_cast<std::size_t>(column)] =
        screen.at(column, static_cast<std::int16_t>(shownTop + row));
  ScreenBuffer::Row &have = shown[static_cast<std::size_t>(row)];
  const std::int16_t lastWanted = lastGlyph(wanted);
  for (std::int16_t column = 0; column <= lastWanted; ++column) {
    const Cell &cell = wanted[static_cast<std::size_t>(column)];
    if (looksAlike(cell, have[static_cast<std::size_t>(column)]))
      continue;
    if (!bridge(wanted, column, row, out))
      moveTo(column, row, out);
    if (cell.glyph != ' ')
      useColour(cell.colour, out);
    out += cell.glyph;
    have[static_cast<std::size_t>(column)] = cell;
    // Past the last column, the terminal waits to wrap: the next move is made in full, or by a
    // line end, which ends the wait as well.
    ++cursor.column;
  }
  if (lastGlyph(have) > lastWanted) {
    moveTo(static_cast<std::int16_t>(lastWanted + 1), row, out);
    out += vt::eraseToLineEnd;
    for (auto column = static_cast<std::size_t>(lastWanted + 1); column < have.size(); ++column)
      have[column] = Cell{};
  }
}

// A short stretch of unchanged cells on the cursor's row is cheaper written again than jumped
// over, as long as it needs no colour change.
bool TerminalView::bridge(const ScreenBuffer::Row &wanted, std::int16_t column, std::int16_t row,
                          std::string &out) {
  if (cursor.row != row || cursor.column >= column ||
      column - cursor.column >= static_cast<int>(vt::cursorTo(column, row).size()))
    return false;
  const auto from = wanted.begin() + cursor.column;
  const auto to = wanted.begin() + column;
  if (!std::all_of(from, to, [&](const Cell &c) { return c.glyph == ' ' || c.colour == colour; }))
    return false;
  std::for_each(from, to, [&](const Cell &c) { out += c.glyph; });
  cursor.column = column;
  return true;
}

void TerminalView::moveTo(std::int16_t column, std::int16_t row, std::string &out) {
  if (cursor.column == column && cursor.row == row)
    return;
  if (column == 0 && cursor.row + 1 == row)
    out += "\r\n";
  else
    out += vt::cursorTo(column, row);
  cursor = {column, row};
}

void TerminalView::useColour(std::int8_t wanted, std::string &out) {
  if (!colourAllowed || wanted == colour)
    return;
  out += vt::colourChange(colour, wanted);
  colour = wanted;
}
