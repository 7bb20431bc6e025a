#include "screen.hpp"

#include <vterm.h>

namespace {

int onBell(void *user) {
  ++*static_cast<int *>(user);
  return 1;
}

const VTermScreenCallbacks callbacks = [] {
  VTermScreenCallbacks c{};
  c.bell = onBell;
  return c;
}();

VTermScreenCell cellAt(VTerm *term, int column, int row) {
  VTermScreenCell cell{};
  vterm_screen_get_cell(vterm_obtain_screen(term), VTermPos{row, column}, &cell);
  return cell;
}

} // namespace

Screen::Screen(int columns, int rows)
    : term(vterm_new(rows, columns)), width(columns), height(rows) {
  vterm_set_utf8(term, 1);
  VTermScreen *screen = vterm_obtain_screen(term);
  vterm_screen_set_callbacks(screen, &callbacks, &bellCount);
  vterm_screen_reset(screen, 1);
}

Screen::~Screen() {
  vterm_free(term);
}

void Screen::feed(std::string_view bytes, bool addCarriageReturns) {
  if (!addCarriageReturns) {
    vterm_input_write(term, bytes.data(), bytes.size());
    return;
  }
  std::string withReturns;
  for (const char c : bytes) {
    if (c == '\n')
      withReturns.push_back('\r');
    withReturns.push_back(c);
  }
  vterm_input_write(term, withReturns.data(), withReturns.size());
}

char Screen::at(int column, int row) const {
  const VTermScreenCell cell = cellAt(term, column, row);
  if (cell.chars[0] == 0)
    return ' ';
  return cell.chars[0] < 0x80 ? static_cast<char>(cell.chars[0]) : '?';
}

std::int32_t Screen::colourAt(int column, int row) const {
  const VTermColor colour = cellAt(term, column, row).fg;
  if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || !VTERM_COLOR_IS_INDEXED(&colour))
    return 7;
  // Terminal colour indices run red 1, green 2, blue 4; console attributes blue 1, green 2, red 4.
  const int index = colour.indexed.idx;
  return ((index & 1) ? 4 : 0) | (index & 2) | ((index & 4) ? 1 : 0) | (index & 8);
}

std::string Screen::row(int row) const {
  std::string text;
  for (int column = 0; column < width; ++column)
    text.push_back(at(column, row));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

std::string Screen::text() const {
  std::string all;
  std::size_t used = 0;
  for (int r = 0; r < height; ++r) {
    all += row(r);
    all.push_back('\n');
    if (!row(r).empty())
      used = all.size();
  }
  all.resize(used);
  return all;
}

int Screen::cursorColumn() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(term), &position);
  return position.col;
}

int Screen::cursorRow() const {
  VTermPos position{};
  vterm_state_get_cursorpos(vterm_obtain_state(term), &position);
  return position.row;
}
