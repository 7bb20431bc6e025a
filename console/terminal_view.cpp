#include "terminal_view.hpp"

#include "vt.hpp"

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

// The shorter of backspaces and CSI n D.
std::string backBy(int cells) {
  return cells < 4 ? std::string(static_cast<std::size_t>(cells), '\b') : vt::cursorBack(cells);
}

// About how many bytes a row takes, painted from its first column on after it is erased from
// `erase` to its end (the width: not erased): each cell that differs written, the stretches
// between written again or jumped, whichever is shorter, and the cursor taken to `end` if it
// ends on this row (-1 if not). Colours aside: enough to tell whether erasing pays.
int rowCost(const Row &have, const Row &wanted, std::int16_t erase, std::int16_t end) {
  std::size_t cost = 0;
  int at = 0;
  const auto go = [&](int column) {
    if (column > at)
      cost +=
          std::min(static_cast<std::size_t>(column - at), vt::cursorForward(column - at).size());
    if (column < at)
      cost += backBy(at - column).size();
    at = column;
  };
  for (std::int16_t column = 0; column < width; ++column) {
    if (column == erase) {
      go(column);
      cost += vt::eraseToLineEnd.size();
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
std::int16_t whereToErase(const Row &have, const Row &wanted, std::int16_t end) {
  std::int16_t best = width;
  // Nothing to erase on a blank row.
  if (std::all_of(have.begin(), have.end(), isBlank))
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

} // namespace

void TerminalView::update(const ScreenBuffer &screen, std::string &out) {
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
    out += vt::clearScreen;
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
    out.append(static_cast<std::size_t>(scrolled), '\n');
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

// Paints pass by pass: each paints the changed cells of its colour (or of every colour), row by
// row; the first also erases what is to be blank. A pass may write over cells of a later one on
// its way, where that is shorter than jumping them: the later pass paints them again.
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
        out += vt::eraseToLineEnd;
        std::fill(shown[change.row].begin() + change.erase, shown[change.row].end(), Cell{});
      };
      bool erased = pass != 0 || change.erase == width;
      for (const std::int16_t column : change.columns) {
        const Position at{column, row};
        if (!erased && column >= change.erase) {
          erase();
          erased = true;
        }
        const Cell &cell = cellOf(wanted, at.row, at.column);
        const bool inPass =
            isBlank(cell) ? pass == 0 : passes[pass] == everyColour || cell.colour == passes[pass];
        if (inPass && !looksAlike(cellOf(shown, at.row, at.column), cell)) {
          moveTo(at, wanted, out);
          if (!isBlank(cell))
            useColour(cell.colour, out);
          out += cell.glyph;
          rewritten(wanted, at.row, at.column, static_cast<std::int16_t>(at.column + 1));
        }
      }
      if (!erased)
        erase();
    }
  }
  return true;
}

// The shortest way to a cell: a full position, or a way to its row (one that keeps the column,
// or a carriage return and line feeds) and then one along it, which may write the cells between
// again.
void TerminalView::moveTo(Position to, const Wanted &wanted, std::string &out) {
  if (cursor.column == to.column && cursor.row == to.row)
    return;
  std::string best = vt::cursorTo(to.column, to.row);
  const std::string toColumn = vt::cursorToColumn(to.column);
  std::int16_t writtenFrom = -1; // where the best way writes cells again up to the target
  const auto along = [&](const std::string &toRow, std::int16_t from) {
    // Only a way shorter than the best so far is kept.
    const auto shorter = [&](std::size_t length) { return toRow.size() + length < best.size(); };
    const auto keep = [&](const std::string &way, std::int16_t writing = -1) {
      if (shorter(way.size())) {
        best = toRow + way;
        writtenFrom = writing;
      }
    };
    const int cells = to.column - from;
    if (cells == 0)
      keep("");
    keep(toColumn);
    if (cells > 0) {
      keep(vt::cursorForward(cells));
      if (shorter(static_cast<std::size_t>(cells)) && canRewrite(wanted, to.row, from, to.column)) {
        std::string glyphs;
        for (auto column = from; column < to.column; ++column)
          glyphs += cellOf(wanted, to.row, column).glyph;
        keep(glyphs, from);
      }
    }
    if (cells < 0)
      keep(backBy(-cells));
  };
  // Past the last column the terminal waits to wrap, and terminals differ on where a move made
  // from there lands: only a full position, or a carriage return first, is safe.
  if (cursor.column < width) {
    const int down = to.row - cursor.row;
    if (down == 0)
      along("", cursor.column);
    else
      along(down > 0 ? vt::cursorDown(down) : vt::cursorUp(-down), cursor.column);
    if (down != 0)
      along(vt::cursorToRow(to.row), cursor.column);
    // Line feeds keep the first column, whether or not the terminal adds carriage returns.
    if (cursor.column == 0 && down > 0)
      along(std::string(static_cast<std::size_t>(down), '\n'), 0);
  }
  if (to.row >= cursor.row)
    along('\r' + std::string(static_cast<std::size_t>(to.row - cursor.row), '\n'), 0);
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
  out += vt::colourChange(colour, wanted, lightBackground);
  colour = wanted;
}
