#include "command_line.hpp"
#include "console/console.hpp"
#include "game.hpp"

int main(int argc, char **argv) {
  bool plain = false;
  if (const auto status = answerCommandLine(argc, argv, plain))
    return *status;
  if (const int status = openConsole(plain); status != 0)
    return status;
  playGame();
  return closeConsole();
}
