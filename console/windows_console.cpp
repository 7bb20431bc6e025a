// The console services on the Windows console: its own colour attributes and cursor, asked of the
// console itself.
#include "console.hpp"
#include "console_shared.hpp"
#include "line_input.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <conio.h>
#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <iostream>
#include <optional>
#include <string>

std::int32_t foregroundColour = 7;
std::int32_t backgroundColour = 0;

namespace {

std::optional<ByteQueue> input;
std::optional<LineInput> lineInput;
std::streambuf *savedInput = nullptr;
bool isOpen = false;
bool exitHookRegistered = false;
bool inputIsConsole = false;
// The colours the console had, given back whatever way the game ends.
std::optional<WORD> foundAttributes;

HANDLE screen() {
  return GetStdHandle(STD_OUTPUT_HANDLE);
}

CONSOLE_SCREEN_BUFFER_INFO screenInfo() {
  flushOutput();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(screen(), &info);
  return info;
}

std::ptrdiff_t readInput(char *buffer, std::size_t n) {
  flushOutput();
  return _read(0, buffer, static_cast<unsigned>(n));
}

// The console echoes typed replies; piped ones are shown by the game, so the picture is the same.
bool nextLine(std::string &line) {
  if (!readPlainLine(*input, line))
    return false;
  if (!inputIsConsole)
    std::cout << line << '\n';
  return true;
}

// Runs on a thread of its own: only the colours are given back, then the default handler ends
// the process.
BOOL WINAPI onBreak(DWORD) {
  if (foundAttributes)
    SetConsoleTextAttribute(screen(), *foundAttributes);
  return FALSE;
}

} // namespace

void setTextColour(std::int32_t colour) {
  colour = consoleColour(colour);
  foregroundColour = colour;
  flushOutput();
  SetConsoleTextAttribute(screen(), static_cast<WORD>(colour | backgroundColour));
}

std::int16_t cursorColumn() {
  return screenInfo().dwCursorPosition.X;
}

std::int16_t cursorRowAbove() {
  return static_cast<std::int16_t>(screenInfo().dwCursorPosition.Y - 2);
}

void placeCursor(std::int16_t column, std::int16_t row) {
  flushOutput();
  SetConsoleCursorPosition(screen(), COORD{column, row});
}

void clearScreen() {
  const CONSOLE_SCREEN_BUFFER_INFO info = screenInfo();
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  DWORD done = 0;
  FillConsoleOutputCharacterA(screen(), ' ', cells, COORD{0, 0}, &done);
  FillConsoleOutputAttribute(screen(), info.wAttributes, cells, COORD{0, 0}, &done);
  SetConsoleCursorPosition(screen(), COORD{0, 0});
}

bool pauseForKey() {
  std::cout << pausePrompt;
  discardTypedLine();
  flushOutput();
  if (inputIsConsole) {
    // Function and arrow keys come as two codes; both belong to the one key press.
    const int key = _getch();
    if (key == 0 || key == 0xe0)
      _getch();
  } else if (std::string line; !readPlainLine(*input, line)) {
    return false;
  }
  std::cout << '\n';
  return true;
}

void beep() {
  flushOutput();
  Beep(200, 400);
}

void sleepFor(std::int32_t milliseconds) {
  flushOutput();
  Sleep(static_cast<DWORD>(milliseconds));
}

void discardTypedLine() {
  lineInput->discardLine();
}

bool waitForEnter() {
  return lineInput->takeLine();
}

void flushOutput() {
  std::cout.flush();
  std::fflush(stdout);
}

int openConsole() {
  // Text waits in the C runtime's buffer until the next console call or read, not a write each.
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 14);
  inputIsConsole = _isatty(_fileno(stdin)) != 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(screen(), &info))
    foundAttributes = info.wAttributes;
  input.emplace(readInput);
  lineInput.emplace(nextLine);
  savedInput = std::cin.rdbuf(&*lineInput);
  std::cin.clear();
  SetConsoleCtrlHandler(onBreak, TRUE);
  if (!exitHookRegistered) {
    exitHookRegistered = true;
    std::atexit([] { closeConsole(); });
  }
  isOpen = true;
  return 0;
}

int closeConsole() {
  if (!isOpen)
    return 0;
  isOpen = false;
  if (foundAttributes)
    setTextColour(*foundAttributes);
  if (cursorColumn() != 0)
    std::cout << '\n';
  flushOutput();
  std::cin.rdbuf(savedInput);
  std::cin.clear();
  // Output that could not be written leaves its mark on the stream.
  return std::ferror(stdout) != 0 || !std::cout ? 1 : 0;
}
