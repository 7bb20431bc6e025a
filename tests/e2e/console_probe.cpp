// Runs the console layer through the steps named on its command line, so a test can compare what
// the layer believes about the terminal with what a real terminal shows.
//   clear | at:C,R | say:TEXT | colour:N | pause | read
// "read" takes a number, then writes a marker where the cursor really stands (nothing placed
// first: '#' for the first read, then '$', '%', '&', '*', '+') and, at column 50 of row k for
// the k-th read, "N@C,R;": the number and the tracked position.
// Exit code 0 when every step ran, 2 when the input ended, 3 when a reply was not a number,
// 4 for an unknown step.
#include "console/console.hpp"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

int main(int argc, char **argv) {
  openConsole();
  std::int16_t reads = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view step = argv[i];
    const std::string_view value = step.substr(step.find(':') + 1);
    if (step == "clear") {
      clearScreen();
    } else if (step.starts_with("at:")) {
      int column = 0;
      int row = 0;
      std::sscanf(value.data(), "%d,%d", &column, &row);
      placeCursor(static_cast<std::int16_t>(column), static_cast<std::int16_t>(row));
    } else if (step.starts_with("say:")) {
      std::cout << value;
    } else if (step.starts_with("colour:")) {
      setTextColour(std::stoi(std::string(value)));
    } else if (step == "pause") {
      if (!pauseForKey())
        return 2;
    } else if (step == "read") {
      std::int16_t number = 0;
      if (!(std::cin >> number))
        return std::cin.eof() ? 2 : 3;
      const std::int16_t column = cursorColumn();
      const std::int16_t row = static_cast<std::int16_t>(cursorRowAbove() + 2);
      std::cout << "#$%&*+"[reads % 6];
      placeCursor(50, reads++);
      std::cout << number << '@' << column << ',' << row << ';';
      placeCursor(static_cast<std::int16_t>(column + 1), row);
    } else {
      return 4;
    }
  }
  return 0;
}
