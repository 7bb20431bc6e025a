// Under wine: starts a Windows program in this console, and once the program turns the console's
// mouse input on (after it was off), clicks the left button on a cell of the window (COLUMN ROW,
// from 0) by writing the press and the release into the console's input, as the console does for a
// real click. When the program ends, says the input's modes as found, with the mouse on, and after,
// whether quick edit was off with the mouse on and the modes are back as found, and ends with the
// program's exit code. Usage: click.exe COLUMN ROW PROGRAM.exe
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  if (argc != 4)
    return 2;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD found = 0, during = 0, after = 0;
  GetConsoleMode(input, &found);
  std::string command = argv[3];
  STARTUPINFOA start{};
  start.cb = sizeof start;
  PROCESS_INFORMATION program{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                      &program))
    return 3;
  // The console's own modes may have mouse input on already: the program's turn it off first.
  bool off = false;
  // Sleep and a wait that does not wait: under libfaketime this process's clock runs ahead of
  // wine's server's, which a wait with a time would be measured by.
  for (DWORD modes = 0; WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT; Sleep(10)) {
    GetConsoleMode(input, &modes);
    off = off || (modes & ENABLE_MOUSE_INPUT) == 0;
    if (off && during == 0 && (modes & ENABLE_MOUSE_INPUT) != 0) {
      during = modes;
      CONSOLE_SCREEN_BUFFER_INFO info{};
      GetConsoleScreenBufferInfo(output, &info);
      INPUT_RECORD click[2]{};
      for (int i = 0; i < 2; ++i) {
        click[i].EventType = MOUSE_EVENT;
        click[i].Event.MouseEvent.dwMousePosition = {
            static_cast<SHORT>(std::atoi(argv[1])),
            static_cast<SHORT>(info.srWindow.Top + std::atoi(argv[2]))};
        click[i].Event.MouseEvent.dwButtonState = i == 0 ? FROM_LEFT_1ST_BUTTON_PRESSED : 0;
      }
      DWORD written = 0;
      WriteConsoleInputA(input, click, 2, &written);
    }
  }
  GetConsoleMode(input, &after);
  DWORD code = 0;
  GetExitCodeProcess(program.hProcess, &code);
  std::printf("input modes: found %#lx, mouse on %#lx, after %#lx\n", found, during, after);
  std::printf("quick edit off with the mouse on: %s; after as found: %s\n",
              during != 0 && (during & ENABLE_QUICK_EDIT_MODE) == 0 ? "yes" : "no",
              after == found ? "yes" : "no");
  return static_cast<int>(code);
}
