#include "terminal_view.hpp"

#include <algorithm>
#include <optional>

namespace {

using Row = ScreenBuffer::Row;
constexpr std::int16_t width = ScreenBuffer::width;
// A pass that paints the cells of every colour as they come, changing colour as it goes.
constexpr std::int8_t everyColour = -2;
// Fewer cells than this are painted in one pass: painting colour by colour never pays there.
constexpr int manyCells = 32;

bool isBlank(const Cell &cell) {
  return cell.glyph == ' ';
}

template <typename Rows> auto &cellOf(Rows &rows, std::int16_t row, std::int16_t column) {
  return rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

const Cell &cellOf(const std::vector<const Row *> &rows, std::int16_t row, std::int16_t column) {
  return (*rows[static_cast<std::size_t>(row)])[static_cast<std::size_t>(column)];
}

} // namespace

TerminalView::TerminalView(const Capabilities &capabilities, bool colourAllowed,
                           bool lightBackground)
    : capabilities(&capabilities),
      colourAllowed(colourAllowed && capabilities.colours >= 8 && capabilities.foreground &&
                    !capabilities.resetAttributes.empty()),
      lightBackground(lightBackground) {}

std::optional<std::string> TerminalView::by(const Capabilities::One &many, const std::string &one,
                                            int cells) const {
  std::optional<std::string> way;
  if (many)
    way = many(cells);
  if (!one.empty() && (!way || static_cast<std::size_t>(cells) * one.size() < way->size())) {
    std::string repeated;
    for (int n = 0; n < cells; ++n)
      repeated += one;
    way = repeated;
  }
  return way;
}

// About how many bytes a row takes, painted from its first column on after it is erased from
// `erase` to its end (the width: not erased): each cell that differs written, the stretches
// between written again or jumped, whichever is shorter, and the cursor taken to `end` if it
// ends on this row (-1 if not). Colours aside: enough to tell whether erasing pays.
int TerminalView::rowCost(const Row &have, const Row &wanted, std::int16_t erase,
                          std::int16_t end) const {
  std::size_t cost = 0;
  int at = 0;
  const auto go = [&](int column) {
    if (column > at)
      cost += std::min(static_cast<std::size_t>(column - at),
                       by(capabilities->forward, capabilities->forward1, column - at)
                           .value_or(std::string(static_cast<std::size_t>(column - at), ' '))
                           .size());
    if (column < at)
      cost += by(capabilities->back, capabilities->back1, at - column).value_or("\r").size();
    at = column;
  };
  for (std::int16_t column = 0; column < width; ++column) {
    if (column == erase) {
      go(column);
      cost += capabilities->eraseToLineEnd.size();
    }
    const std::size_t c = static_cast<std::size_t>(column);
    if (!looksAlike(column < erase ? have[c] : Cell{}, wanted[c])) {
      go(column);
      ++cost;
      ++at;
    }
  }
  if (end >= 0)
    go(end);
  return static_cast<int>(cost);
}

// Where a row is best erased to its end before it is painted: at the start of one of its
// stretches of changed cells, or nowhere (the width).
std::int16_t TerminalView::whereToErase(const Row &have, const Row &wanted,
                                        std::int16_t end) const {
  std::int16_t best = width;
  // Nothing to erase on a blank row, nor with no way to.
  if (capabilities->eraseToLineEnd.empty() || std::all_of(have.begin(), have.end(), isBlank))
    return best;
  int least = rowCost(have, wanted, width, end);
  for (std::size_t c = 0; c < have.size(); ++c) {
    if (looksAlike(have[c], wanted[c]) || (c > 0 && !looksAlike(have[c - 1], wanted[c - 1])))
      continue;
    const auto column = static_cast<std::int16_t>(c);
    if (const int cost = rowCost(have, wanted, column, end); cost < least) {
      least = cost;
      best = column;
    }
  }
  return best;
}

std::string TerminalView::clearing() const {
  if (!capabilities->clearScreen.empty())
    return capabilities->clearScreen;
  return (capabilities->home.empty() ? capabilities->cursorAddress(0, 0) : capabilities->home) +
         capabilities->eraseToScreenEnd;
}

std::string TerminalView::lineEnd(bool lastRow) const {
  return capabilities->carriageReturn + (lastRow && !capabilities->scrollForward.empty()
                                             ? capabilities->scrollForward
                                             : capabilities->down1);
}

void TerminalView::reportMouse(bool on, std::string &out) {
  if (on == mouseOn || capabilities->mouseOn.empty())
    return;
  out += on ? capabilities->mouseOn : capabilities->mouseOff;
  mouseOn = on;
}

void TerminalView::update(const ScreenBuffer &screen, bool mouse, std::string &out) {
  reportMouse(mouse, out);
  const std::int16_t rows = screen.windowRows();
  const auto versionOf = [&](std::int16_t row) {
    return screen.version(static_cast<std::int16_t>(screen.windowTop() + row));
  };
  const Position end{screen.cursor().column,
                     static_cast<std::int16_t>(screen.cursor().row - screen.windowTop())};
  // Nothing changed since the last update: nothing to say.
  bool same = known && shownTop == screen.windowTop() && cursor == end;
  for (std::int16_t row = 0; same && row < rows; ++row)
    same = shownVersions[static_cast<std::size_t>(row)] == versionOf(row);
  if (same)
    return;

  if (!known) {
    out += clearing();
    shown.assign(static_cast<std::size_t>(rows), ScreenBuffer::Row{});
    shownVersions.assign(static_cast<std::size_t>(rows), unknownVersion);
    shownTop = screen.windowTop();
    cursor = {};
    known = true;
  }
  Wanted wanted(static_cast<std::size_t>(rows));
  for (std::int16_t row = 0; row < rows; ++row)
    wanted[static_cast<std::size_t>(row)] =
        &screen.row(static_cast<std::int16_t>(screen.windowTop() + row));
  // A window moved down is scrolled as a terminal scrolls: line ends on its last row.
  const int scrolled = std::min(screen.windowTop() - shownTop, static_cast<int>(rows));
  if (scrolled > 0) {
    moveTo({0, static_cast<std::int16_t>(rows - 1)}, wanted, out);
    const std::string &scroll =
        capabilities->scrollForward.empty() ? capabilities->down1 : capabilities->scrollForward;
    for (int line = 0; line < scrolled; ++line)
      out += scroll;
    shown.erase(shown.begin(), shown.begin() + scrolled);
    shown.resize(static_cast<std::size_t>(rows));
    shownVersions.erase(shownVersions.begin(), shownVersions.begin() + scrolled);
    shownVersions.resize(static_cast<std::size_t>(rows), unknownVersion);
  }
  shownTop = screen.windowTop();

  // The rows that changed, where each is erased, the cells to paint then and their colours.
  std::vector<Change> changes;
  std::vector<std::int8_t> colours;
  int painted = 0;
  for (std::size_t row = 0; row < wanted.size(); ++row) {
    const bool ending = row == static_cast<std::size_t>(end.row);
    if (shownVersions[row] == versionOf(static_cast<std::int16_t>(row)) ||
        std::equal(shown[row].begin(), shown[row].end(), wanted[row]->begin(), looksAlike))
      continue;
    Change &change = changes.emplace_back(
        Change{row, whereToErase(shown[row], *wanted[row], ending ? end.column : -1), {}});
    for (std::int16_t column = 0; column < width; ++column) {
      const Cell &cell = (*wanted[row])[static_cast<std::size_t>(column)];
      const bool erased = column >= change.erase;
      if (erased ? isBlank(cell) : looksAlike(shown[row][static_cast<std::size_t>(column)], cell))
        continue;
      change.columns.push_back(column);
      if (isBlank(cell))
        continue;
      ++painted;
      if (colourAllowed && std::find(colours.begin(), colours.end(), cell.colour) == colours.end())
        colours.push_back(cell.colour);
    }
  }

  // Painted in one pass, and where many cells of two colours or more change, a pass for each
  // too, in every order while there are at most four (more orders would cost more time than they
  // save bytes): the shortest is kept. A move's few cells go best in one pass, a board's numbers
  // and grid in two.
  std::vector<std::vector<std::int8_t>> orders{{everyColour}};
  std::sort(colours.begin(), colours.end());
  if (colours.size() > 1 && painted >= manyCells)
    do
      orders.push_back(colours);
    while (colours.size() <= 4 && std::next_permutation(colours.begin(), colours.end()));
  std::optional<TerminalView> best;
  std::string bestBytes;
  for (const std::vector<std::int8_t> &passes : orders) {
    TerminalView trial = *this;
    std::string bytes;
    // An order already longer than the best need not be finished.
    const std::size_t budget = best ? bestBytes.size() : SIZE_MAX;
    if (!trial.paint(wanted, passes, changes, budget, bytes))
      continue;
    trial.moveTo(end, wanted, bytes);
    if (!best || bytes.size() < bestBytes.size()) {
      best = std::move(trial);
      bestBytes = std::move(bytes);
    }
  }
  *this = std::move(*best);
  out += bestBytes;
  for (std::int16_t row = 0; row < rows; ++row)
    shownVersions[static_cast<std::size_t>(row)] = versionOf(row);
}

void TerminalView::leave(const ScreenBuffer &screen, std::string &out) {
  reportMouse(false, out);
  if (colour != -1 && colour != 7)
    out += capabilities->resetAttributes;
  colour = -1;
  if (screen.cursor().column != 0 || screen.nextCell().row != screen.cursor().row)
    out += lineEnd(cursor.row == static_cast<std::int16_t>(shown.size()) - 1);
  known = false;
}

void TerminalView::useTerminalColour(std::string &out) {
  if (colourAllowed && colour != 7)
    out += capabilities->resetAttributes;
  colour = 7;
}

// Paints pass by pass: each paints the changed cells of its colour (or of every colour), row by
// row; the first also erases what is to be blank. A pass may write over cells of a later one on
// its way, where that is shorter than jumping them: the later pass paints them again. A run of the
// same cell is said once with a count where the terminal can repeat, or erased so where blank.
bool TerminalView::paint(const Wanted &wanted, const std::vector<std::int8_t> &passes,
                         const std::vector<Change> &changes, std::size_t budget, std::string &out) {
  for (std::size_t pass = 0; pass < passes.size(); ++pass) {
    if (passes[pass] != everyColour)
      useColour(passes[pass], out);
    for (const Change &change : changes) {
      if (out.size() >= budget)
        return false;
      const auto row = static_cast<std::int16_t>(change.row);
      const auto erase = [&] {
        moveTo({change.erase, row}, wanted, out);
        out += capabilities->eraseToLineEnd;
        std::fill(shown[change.row].begin() + change.erase, shown[change.row].end(), Cell{});
      };
      bool erased = pass != 0 || change.erase == width;
      for (std::size_t i = 0; i < change.columns.size(); ++i) {
        const std::int16_t column = change.columns[i];
        const Position at{column, row};
        if (!erased && column >= change.erase) {
          erase();
          erased = true;
        }
        const Cell &cell = cellOf(wanted, at.row, at.column);
        const bool inPass =
            isBlank(cell) ? pass == 0 : passes[pass] == everyColour || cell.colour == passes[pass];
        if (!inPass || looksAlike(cellOf(shown, at.row, at.column), cell))
          continue;
        moveTo(at, wanted, out);
        if (!isBlank(cell))
          useColour(cell.colour, out);
        const std::int16_t run = sameRun(wanted, change, i, erased ? width : change.erase);
        std::string repeated;
        if (run > 1 && isBlank(cell) && capabilities->eraseCharacters)
          repeated = capabilities->eraseCharacters(run);
        else if (run > 1 && capabilities->repeat)
          repeated = capabilities->repeat(cell.glyph, run);
        if (!repeated.empty() && repeated.size() < static_cast<std::size_t>(run)) {
          out += repeated;
          const auto end = static_cast<std::int16_t>(column + run);
          if (isBlank(cell)) { // erased where the cursor stays
            std::fill(shown[change.row].begin() + column, shown[change.row].begin() + end, Cell{});
          } else {
            rewritten(wanted, row, column, end);
          }
          i += static_cast<std::size_t>(run - 1);
          continue;
        }
        out += cell.glyph;
        rewritten(wanted, at.row, at.column, static_cast<std::int16_t>(at.column + 1));
      }
      if (!erased)
        erase();
    }
  }
  return true;
}

std::int16_t TerminalView::sameRun(const Wanted &wanted, const Change &change, std::size_t at,
                                   std::int16_t limit) const {
  const auto row = static_cast<std::int16_t>(change.row);
  const std::int16_t first = change.columns[at];
  const Cell &cell = cellOf(wanted, row, first);
  std::int16_t run = 1;
  for (std::size_t i = at + 1; i < change.columns.size(); ++i, ++run) {
    const std::int16_t column = change.columns[i];
    const Cell &next = cellOf(wanted, row, column);
    // Not past where the row is still to be erased; a cell shown is no cell to paint.
    if (column != first + run || !looksAlike(next, cell) || column >= limit ||
        looksAlike(cellOf(shown, row, column), next) ||
        (!isBlank(next) && colourAllowed && next.colour != cell.colour))
      break;
  }
  return run;
}

// The shortest way to a cell: a full position, or a way to its row (one that keeps the column,
// or a carriage return and line downs) and then one along it, which may write the cells between
// again.
void TerminalView::moveTo(Position to, const Wanted &wanted, std::string &out) {
  if (cursor.column == to.column && cursor.row == to.row)
    return;
  const Capabilities &can = *capabilities;
  std::string best = can.cursorAddress(to.row, to.column);
  std::int16_t writtenFrom = -1; // where the best way writes cells again up to the target
  const auto along = [&](const std::string &toRow, std::int16_t from) {
    // Only a way shorter than the best so far is kept.
    const auto shorter = [&](std::size_t length) { return toRow.size() + length < best.size(); };
    const auto keep = [&](const std::optional<std::string> &way, std::int16_t writing = -1) {
      if (way && shorter(way->size())) {
        best = toRow + *way;
        writtenFrom = writing;
      }
    };
    const int cells = to.column - from;
    if (cells == 0)
      keep("");
    if (can.columnAddress)
      keep(can.columnAddress(to.column));
    if (cells > 0) {
      keep(by(can.forward, can.forward1, cells));
      if (shorter(static_cast<std::size_t>(cells)) && canRewrite(wanted, to.row, from, to.column)) {
        std::string glyphs;
        for (auto column = from; column < to.column; ++column)
          glyphs += cellOf(wanted, to.row, column).glyph;
        keep(glyphs, from);
      }
    }
    if (cells < 0)
      keep(by(can.back, can.back1, -cells));
  };
  // Past the last column the terminal waits to wrap, and terminals differ on where a move made
  // from there lands: only a full position, or a carriage return first, is safe.
  if (cursor.column < width) {
    const int down = to.row - cursor.row;
    // A line feed may bring a carriage return with it (the terminal's output processing, the
    // Windows console's own): it keeps the first column only.
    const std::string &down1 = cursor.column == 0 || can.down1 != "\n" ? can.down1 : "";
    const std::optional<std::string> toRow = down == 0  ? std::optional<std::string>("")
                                             : down > 0 ? by(can.down, down1, down)
                                                        : by(can.up, can.up1, -down);
    if (toRow)
      along(*toRow, cursor.column);
    if (down != 0 && can.rowAddress)
      along(can.rowAddress(to.row), cursor.column);
  }
  if (to.row >= cursor.row)
    along(can.carriageReturn + by({}, can.down1, to.row - cursor.row).value_or(""), 0);
  if (to.row == 0 && !can.home.empty())
    along(can.home, 0);
  out += best;
  if (writtenFrom >= 0)
    rewritten(wanted, to.row, writtenFrom, to.column);
  cursor = to;
}

// Cells are written again on the way only where that spoils none: they are to be blank, or of
// the terminal's colour, or wrong already.
bool TerminalView::canRewrite(const Wanted &wanted, std::int16_t row, std::int16_t from,
                              std::int16_t to) const {
  for (auto column = from; column < to; ++column) {
    const Cell &cell = cellOf(wanted, row, column);
    if (!isBlank(cell) && colourAllowed && cell.colour != colour &&
        looksAlike(cellOf(shown, row, column), cell))
      return false;
  }
  return true;
}

// The cells from..to of a row are written, in the terminal's colour, and the cursor stands after
// them: past the last column, the terminal waits to wrap.
void TerminalView::rewritten(const Wanted &wanted, std::int16_t row, std::int16_t from,
                             std::int16_t to) {
  for (auto column = from; column < to; ++column) {
    const Cell &cell = cellOf(wanted, row, column);
    cellOf(shown, row, column) = colourAllowed ? Cell{cell.glyph, colour} : cell;
  }
  cursor = {to, row};
}

void TerminalView::useColour(std::int8_t wanted, std::string &out) {
  if (!colourAllowed || wanted == colour)
    return;
  out += colourChange(colour, wanted);
  colour = wanted;
}

namespace {

// A console colour as the terminal draws it: a foreground (-1 for the terminal's own) and bold.
struct Ink {
  int foreground;
  bool bold;
  bool operator==(const Ink &) const = default;
};

// Normal text (7) is the terminal's own foreground and white (15) that foreground in bold, so both
// read on light and dark themes alike. The others are the terminal's colours, whose index runs
// red 1, green 2, blue 4: with sixteen, the bright ones are 8 to 15; with eight, the base colour
// in bold, the usual curses way. On a light background, the colours that would not read on white
// (under 3:1 in xterm's palette) take a darker shade of their hue from the 256-colour palette:
// green (2) 0,95,0; cyan (3) 0,135,135; light green (10) 0,135,0; yellow (14) 175,135,0. With
// fewer colours, a pale colour takes its base colour there, without bold.
Ink inkOf(std::int8_t colour, int colours, bool light) {
  if (colour == 7 || colour == 15)
    return {-1, colour == 15};
  if (light && colours >= 256) {
    switch (colour) {
    case 2:
      return {22, false};
    case 3:
      return {30, false};
    case 10:
      return {28, false};
    case 14:
      return {136, false};
    default:
      break;
    }
  }
  const int index = ((colour & 4) ? 1 : 0) | (colour & 2) | ((colour & 1) ? 4 : 0);
  const bool bright = (colour & 8) != 0;
  if (colours >= 16)
    return {index + (bright ? 8 : 0), false};
  return {index, bright && !light};
}

} // namespace

// From one console colour (-1 when the terminal's state is unknown) to another: of the change
// from the colour before and a reset followed by what the new colour needs, the shorter. There is
// no way out of bold but the reset.
std::string TerminalView::colourChange(std::int8_t from, std::int8_t to) const {
  const Capabilities &can = *capabilities;
  const Ink want = inkOf(to, can.colours, lightBackground);
  std::string reset = can.resetAttributes;
  if (want.foreground >= 0)
    reset += can.foreground(want.foreground);
  if (want.bold)
    reset += can.bold;
  if (from < 0)
    return reset;
  const Ink have = inkOf(from, can.colours, lightBackground);
  if (have == want)
    return "";
  if (have.bold && !want.bold)
    return reset;
  std::string change;
  if (have.foreground != want.foreground) {
    if (want.foreground < 0 && can.defaultColours.empty())
      return reset;
    change += want.foreground < 0 ? can.defaultColours : can.foreground(want.foreground);
  }
  if (want.bold && !have.bold)
    change += can.bold;
  return change.size() < reset.size() ? change : reset;
}
