#include "command_line.hpp"
#include "console/console.hpp"
#include "game.hpp"

int main(int argc, char **argv) {
  if (const auto status = answerCommandLine(argc, argv))
    return *status;
  openConsole();
  const int status = playGame();
  closeConsole();
  return status;
}
