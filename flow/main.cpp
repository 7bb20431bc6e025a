#include "board/board.hpp"
#include "console/console.hpp"

int main() {
  openConsole();
  Board board = createBoard(3);
  board.drawBoard();
  closeConsole();
  return 0;
}
