#include "command_line.hpp"

#include <iostream>
#include <string_view>

namespace {

// Under 80 columns and 20 lines, so it fits the screen the game needs anyway. The keys, the
// colours and the manual differ between the platforms.
constexpr std::string_view usageStart =
    "Usage: quarvel-zib [--plain | --help | -h | --version]\n"
    "\n"
    "Noughts and crosses on a grid of 3x3 up to 9x9 in a text terminal, against\n"
    "the computer or for two players at one keyboard; only a whole row, column or\n"
    "diagonal wins. To move, type the cell's column number and press Enter, then\n"
    "its row number and press Enter; or click the cell, or point at it with the\n"
    "arrow keys and press Enter or Space (Esc stops). Backspace and Ctrl-U edit\n";
#ifdef _WIN32
constexpr std::string_view usagePlatform =
    "it; Ctrl-L redraws the screen; Ctrl-Z, then Enter, on an empty reply ends the\n"
    "game; Ctrl-C quits. The console window must be at least 80 columns by 22 rows.\n"
    "To play without colours, first set NO_COLOR=1 in Command Prompt, or\n"
    "$env:NO_COLOR=1 in PowerShell.\n";
constexpr std::string_view manual = "MANUAL.txt, beside quarvel-zib.exe";
#else
constexpr std::string_view usagePlatform =
    "it; Ctrl-L redraws the screen; Ctrl-D ends the game; Ctrl-C or Ctrl-\\ quits;\n"
    "Ctrl-Z suspends. The terminal must be at least 80 columns by 22 rows.\n"
    "On a light background pale colours take darker shades. COLORFGBG tells the\n"
    "background, or else the game asks the terminal; to force a light one, start\n"
    "it as COLORFGBG='0;15' quarvel-zib ('15;0' for dark). NO_COLOR=1: no colour.\n";
constexpr std::string_view manual = "man 6 quarvel-zib";
#endif
constexpr std::string_view usageEnd =
    "\n"
    "  --plain      play in plain lines of words, for screen readers and braille\n"
    "               displays: each move said, the board when an empty line is typed\n"
    "  -h, --help   show this text and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "More in the manual: ";

std::ostream &writeUsage(std::ostream &out) {
  return out << usageStart << usagePlatform << usageEnd << manual << '\n';
}

// Flushed here to learn whether the text got out: help that ends up nowhere is no success.
int written(std::ostream &out) {
  return out.flush() ? 0 : 1;
}

int notUnderstood(std::string_view what, std::string_view argument) {
  writeUsage(std::cerr << "quarvel-zib: " << what << " '" << argument << "'\n\n");
  std::cerr.flush();
  return 2;
}

} // namespace

std::optional<int> answerCommandLine(int argc, char **argv, bool &plain) {
  if (argc < 2)
    return std::nullopt;
  const std::string_view option = argv[1];
  const bool help = option == "--help" || option == "-h";
  const bool version = option == "--version";
  plain = option == "--plain";
  if (plain && argc == 2)
    return std::nullopt;
  if (!help && !version && !plain)
    return notUnderstood(option.starts_with('-') ? "unknown option" : "unexpected argument",
                         option);
  if (argc > 2)
    return notUnderstood("one option at most, not understood:", argv[2]);
  if (version)
    std::cout << "quarvel-zib " QZ_VERSION "\n";
  else
    writeUsage(std::cout);
  return written(std::cout);
}
