#include "console/console.hpp"
#include "game.hpp"

int main() {
  if (const int status = openConsole(); status != 0)
    return status;
  playGame();
  return closeConsole();
}
