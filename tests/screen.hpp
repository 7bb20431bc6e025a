// What the tests share: a real terminal emulator (libvterm) holding what the game drew, every
// cell's character and colour, the cursor and the bells rung; the game's start as a fresh run has
// it; the files of cases and scripts; and keys as the tests write them.
#pragma once

#include "board/board.hpp"
#include "flow/game.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>
#include <vterm.h>

class Screen {
public:
  Screen(int columns, int rows) : term(vterm_new(rows, columns)) {
    vterm_set_utf8(term, 1);
    static const VTermScreenCallbacks callbacks = [] {
      VTermScreenCallbacks c{};
      c.bell = [](void *bells) { return ++*static_cast<int *>(bells); };
      return c;
    }();
    vterm_screen_set_callbacks(vterm_obtain_screen(term), &callbacks, &bellCount);
    vterm_screen_reset(vterm_obtain_screen(term), 1);
  }
  ~Screen() { vterm_free(term); } // never copied

  // Bytes as the terminal receives them; `newlineReturns` adds the carriage return that a
  // terminal's output processing adds to a line feed when no pty stands in between.
  void feed(std::string_view bytes, bool newlineReturns) {
    std::string fed;
    for (const char c : bytes)
      fed += c == '\n' && newlineReturns ? "\r\n" : std::string(1, c);
    vterm_input_write(term, fed.data(), fed.size());
  }
  void resize(int columns, int rows) { vterm_set_size(term, rows, columns); }

  int rows() const { return size().row; }
  // One row's text, or its first columns, trailing blanks dropped.
  std::string row(int row, int columns = 0) const {
    return trimmed(row, columns, [](const VTermScreenCell &cell) {
      return cell.chars[0] == 0     ? ' '
             : cell.chars[0] < 0x80 ? static_cast<char>(cell.chars[0])
                                    : '~';
    });
  }
  // One row's colours as console colours in hex, a blank for a blank cell. Normal text (7) is the
  // terminal's own foreground, white (15) that foreground in bold, and a colour in bold its bright
  // one, as a terminal of eight colours draws it; 'x' is a shade of the 256-colour palette; '?'
  // marks what the game never sends (grey or white from the palette, bold on a bright colour).
  std::string colours(int row) const {
    return trimmed(row, 0, [](const VTermScreenCell &cell) {
      int index = cell.fg.indexed.idx;
      if (cell.chars[0] == 0 || cell.chars[0] == ' ')
        return ' ';
      if (VTERM_COLOR_IS_DEFAULT_FG(&cell.fg))
        return cell.attrs.bold ? 'f' : '7';
      if (!VTERM_COLOR_IS_INDEXED(&cell.fg) || (cell.attrs.bold && index >= 8) || (index & 7) == 7)
        return '?';
      if (index >= 16)
        return 'x';
      if (cell.attrs.bold)
        index |= 8;
      // The palette runs red 1, green 2, blue 4; console colours blue 1, green 2, red 4.
      return "0123456789abcdef"[(index & 1) << 2 | (index & 2) | (index & 4) >> 2 | (index & 8)];
    });
  }
  // Whether every cell is on black, or on the terminal's own background.
  bool onBlack() const {
    for (int row = 0; row < size().row; ++row)
      for (int column = 0; column < size().col; ++column) {
        VTermScreenCell cell{};
        vterm_screen_get_cell(vterm_obtain_screen(term), VTermPos{row, column}, &cell);
        if (!VTERM_COLOR_IS_DEFAULT_BG(&cell.bg) &&
            !(VTERM_COLOR_IS_INDEXED(&cell.bg) && cell.bg.indexed.idx == 0))
          return false;
      }
    return true;
  }
  int cursorColumn() const { return cursor().col; }
  int cursorRow() const { return cursor().row; }
  int bells() const { return bellCount; }

private:
  VTermPos size() const {
    VTermPos rowsAndColumns{};
    vterm_get_size(term, &rowsAndColumns.row, &rowsAndColumns.col);
    return rowsAndColumns;
  }
  VTermPos cursor() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(term), &position);
    return position;
  }
  template <class Shown> std::string trimmed(int row, int columns, Shown shown) const {
    std::string text;
    const int width = size().col;
    for (int column = 0; column < (columns > 0 ? std::min(columns, width) : width); ++column) {
      VTermScreenCell cell{};
      vterm_screen_get_cell(vterm_obtain_screen(term), VTermPos{row, column}, &cell);
      text += shown(cell);
    }
    return text.erase(text.find_last_not_of(' ') + 1);
  }

  VTerm *term;
  int bellCount = 0;
};

// The game's settings as a fresh run has them. The generator draws an odd first value from state
// 1, the unseeded start, and an even one from state 3: O goes first, or X.
inline void startFreshGame(char first) {
  gridSize = 0;
  twoPlayers = false;
  currentTurn = 0;
  randomState = first == 'O' ? 1 : 3;
}

// The files of a folder with that extension, in order, for the cases and scripts kept as data.
inline std::vector<std::filesystem::path> filesIn(const std::string &folder,
                                                  const char *extension) {
  std::vector<std::filesystem::path> found;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == extension)
      found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

// A test played from a file is named after it.
inline const auto namedAfterFile = [](const auto &info) { return info.param.stem().string(); };

inline std::vector<std::string> linesOf(const std::filesystem::path &file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// Keys as the tests write them: ⏎ Enter (CR from a terminal, LF from a pipe), ⌫ Backspace, ^X a
// control key, \xHH a byte, {KEYS*N} KEYS typed N times.
inline std::string keys(const std::string &text, bool terminal = true) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "⏎") == 0 || text.compare(i, 3, "⌫") == 0) {
      bytes += text[i += 2] == '\x8e' ? (terminal ? '\r' : '\n') : '\x7f'; // ⏎ ends in 8e
    } else if (text[i] == '^') {
      bytes += static_cast<char>(text[++i] ^ 0x40);
    } else if (text.compare(i, 2, "\\x") == 0) {
      bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else if (text[i] == '{') { // {KEYS*N}
      const std::size_t times = text.find('*', i);
      const std::string once = keys(text.substr(i + 1, times - i - 1), terminal);
      for (std::size_t n = std::stoul(text.substr(times + 1)); n > 0; --n)
        bytes += once;
      i = text.find('}', i);
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}
