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

char colourDigit(const VTermScreenCell &cell) {
  if (VTERM_COLOR_IS_DEFAULT_FG(&cell.fg))
    return cell.attrs.bold ? 'f' : '7';
  if (!VTERM_COLOR_IS_INDEXED(&cell.fg) || cell.attrs.bold || (cell.fg.indexed.idx & 7) == 7)
    return '?';
  // Palette indices run red 1, green 2, blue 4; console colours blue 1, green 2, red 4.
  const int index = cell.fg.indexed.idx;
  return "0123456789abcdef"[((index & 1) ? 4 : 0) | (index & 2) | ((index & 4) ? 1 : 0) |
                            (index & 8)];
}

std::string trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
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

void Screen::feed(std::string_view bytes, bool newlineReturns) {
  std::string fed;
  for (const char c : bytes) {
    if (c == '\n' && newlineReturns)
      fed.push_back('\r');
    fed.push_back(c);
  }
  vterm_input_write(term, fed.data(), fed.size());
}

void Screen::resize(int columns, int rows) {
  vterm_set_size(term, rows, columns);
  width = columns;
  height = rows;
}

std::string Screen::row(int row) const {
  std::string text;
  for (int column = 0; column < width; ++column) {
    const uint32_t c = cellAt(term, column, row).chars[0];
    text.push_back(c == 0 ? ' ' : c < 0x80 ? static_cast<char>(c) : '~');
  }
  return trimmed(text);
}

std::string Screen::colours(int row) const {
  std::string digits;
  for (int column = 0; column < width; ++column) {
    const VTermScreenCell cell = cellAt(term, column, row);
    digits.push_back(cell.chars[0] == 0 || cell.chars[0] == ' ' ? ' ' : colourDigit(cell));
  }
  return trimmed(digits);
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
