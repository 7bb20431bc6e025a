#include "console/console.hpp"
#include "game.hpp"

int main() {
  openConsole();
  const int status = playGame();
  closeConsole();
  return status;
}
