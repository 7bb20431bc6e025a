#include "command_line.hpp"
#include "console/console.hpp"
#include "game.hpp"

int main(int argc, char **argv) {
  if (const auto status = answerCommandLine(argc, argv))
    return *status;
  if (const int status = openConsole(); status != 0)
    return status;
  playGame();
  return closeConsole();
}
