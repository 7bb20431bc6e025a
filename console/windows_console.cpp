// The Windows console: keys come as the console's input events, the picture is played with the
// console's own calls, and Ctrl-C is heard on the console's own thread. Input or output that is no
// console is plain bytes, as anywhere else.
#include "device.hpp"
#include "vt.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Win32Console {
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  bool inputIsConsole = false;
  bool outputIsConsole = false;
  // The modes as found, given back on every way out.
  DWORD inputModes = 0;
  // The input's modes while the game runs, and whether the left button is down.
  DWORD gameInputModes = 0;
  bool leftDown = false;
  DWORD outputModes = 0;
  WORD colours = 7;
  // Set by Ctrl-C, Ctrl-Break or the window closing, on the console's thread.
  HANDLE ending = nullptr;
  // Keys read but not yet handed over, and the first half of a character beyond 16 bits.
  std::string keys;
  wchar_t highSurrogate = 0;
} win32;

// Plays the escape sequences the console is sent (placing the cursor, erasing, colours, a bell)
// with the Windows console's own calls: its own escape sequences are missing before Windows 10 and
// fall short under wine. Positions count from the top of the window, as on a terminal.
class Painter {
public:
  void play(std::string_view bytes) {
    for (const char c : bytes) {
      if (state == State::text && c == '\x1b') {
        flush();
        state = State::escape;
      } else if (state == State::text && c == '\a') {
        flush();
        Beep(200, 400);
        toneMilliseconds += 400;
      } else if (state == State::text) {
        text += c;
      } else if (state == State::escape) {
        state = c == '[' ? State::sequence : State::text;
        parameters.clear();
      } else if ((c >= '0' && c <= '9') || c == ';' || (c == '?' && parameters.empty())) {
        parameters += c;
      } else {
        perform(c);
        state = State::text;
      }
    }
    flush();
  }
  // The time a bell took, which counts towards the wait that follows it.
  DWORD toneMilliseconds = 0;
  // The colours in force. The game's background is black, whatever the console's was: from the
  // first clear on, its blanks and its text alike are on black.
  WORD attributes = 7;

private:
  enum class State { text, escape, sequence };

  void flush() {
    DWORD done = 0;
    if (!text.empty())
      WriteConsoleA(win32.output, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    text.clear();
  }

  void perform(char final) {
    // xterm's mode 1000, the mouse reported: the console's mouse input.
    if (parameters.starts_with('?')) {
      if ((";" + parameters.substr(1) + ";").find(";1000;") != std::string::npos &&
          (final == 'h' || final == 'l'))
        reportMouse(final == 'h');
      return;
    }
    std::vector<int> n;
    for (std::size_t at = 0; at <= parameters.size();) {
      const std::size_t end = std::min(parameters.find(';', at), parameters.size());
      n.push_back(end == at ? 0 : std::stoi(parameters.substr(at, end - at)));
      at = end + 1;
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(win32.output, &info);
    const SHORT top = info.srWindow.Top;
    const SHORT width = info.dwSize.X;
    COORD at = info.dwCursorPosition;
    const int count = std::max(n[0], 1);
    DWORD done = 0;
    const auto blank = [&](COORD from, int cells) {
      FillConsoleOutputCharacterA(win32.output, ' ', static_cast<DWORD>(cells), from, &done);
      FillConsoleOutputAttribute(win32.output, attributes, static_cast<DWORD>(cells), from, &done);
    };
    switch (final) {
    case 'H':
      at = {static_cast<SHORT>(std::max(n.size() > 1 ? n[1] : 1, 1) - 1),
            static_cast<SHORT>(top + count - 1)};
      break;
    case 'J': // the whole window, and what is written next on the same background
      blank({0, top}, width * (info.srWindow.Bottom - top + 1));
      SetConsoleTextAttribute(win32.output, attributes);
      break;
    case 'K': { // 0: to the line's end, 1: from its start, 2: all of it
      const SHORT from = n[0] == 0 ? at.X : SHORT{0};
      blank({from, at.Y}, (n[0] == 1 ? at.X + 1 : width) - from);
      break;
    }
    case 'X':
      blank(at, std::min(count, width - at.X));
      break;
    case 'G':
      at.X = static_cast<SHORT>(count - 1);
      break;
    case 'd':
      at.Y = static_cast<SHORT>(top + count - 1);
      break;
    case 'A':
    case 'B':
    case 'C':
    case 'D':
      (final == 'A' || final == 'B' ? at.Y : at.X) +=
          static_cast<SHORT>(final == 'A' || final == 'D' ? -count : count);
      break;
    case 'm':
      colour(n);
      break;
    default:
      break;
    }
    SetConsoleCursorPosition(win32.output, at);
  }

  // Mouse input on, and quick edit off meanwhile, which would take the clicks for itself; off, the
  // modes the game keeps otherwise, quick edit as found.
  static void reportMouse(bool on) {
    if (!win32.inputIsConsole)
      return;
    SetConsoleMode(win32.input,
                   on ? (win32.gameInputModes | ENABLE_MOUSE_INPUT) & ~ENABLE_QUICK_EDIT_MODE
                      : win32.gameInputModes);
  }

  // Normal text (39) is light grey and bold makes it white, as console colour values on the black
  // background the game keeps; the colours as found come back when the game ends.
  void colour(const std::vector<int> &codes) {
    for (const int code : codes) {
      if (code == 0 || code == 22)
        bold = false;
      if (code == 0 || code == 39)
        foreground = 7;
      if (code == 1)
        bold = true;
      if ((code >= 30 && code <= 37) || (code >= 90 && code <= 97)) {
        // Terminal colours run red 1, green 2, blue 4; console colours blue 1, green 2, red 4.
        const int index = code % 10;
        foreground = static_cast<WORD>(((index & 1) << 2) | (index & 2) | ((index & 4) >> 2) |
                                       (code >= 90 ? FOREGROUND_INTENSITY : 0));
      }
    }
    attributes = static_cast<WORD>(foreground | (bold ? FOREGROUND_INTENSITY : 0));
    SetConsoleTextAttribute(win32.output, attributes);
  }

  State state = State::text;
  std::string parameters;
  std::string text;
  WORD foreground = 7;
  bool bold = false;
} painter;

constexpr DWORD controlCExit = 0xC000013AUL; // STATUS_CONTROL_C_EXIT

bool isEnding() {
  return WaitForSingleObject(win32.ending, 0) == WAIT_OBJECT_0;
}

WindowSize windowSize() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!win32.outputIsConsole || !GetConsoleScreenBufferInfo(win32.output, &info))
    return {80, 24};
  return {static_cast<std::int16_t>(info.srWindow.Right - info.srWindow.Left + 1),
          static_cast<std::int16_t>(info.srWindow.Bottom - info.srWindow.Top + 1)};
}

void appendUtf8(char32_t c, std::string &out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

// A key as a terminal sends it: its character in UTF-8, or for the arrows, Home, End and the
// function keys the escape sequence of an xterm. Shift and the other modifiers alone send nothing.
std::string keyBytes(const KEY_EVENT_RECORD &key) {
  std::string bytes;
  const wchar_t c = key.uChar.UnicodeChar;
  if (c >= 0xd800 && c < 0xdc00) {
    win32.highSurrogate = c;
  } else if (c >= 0xdc00 && c < 0xe000) {
    appendUtf8(0x10000 + ((char32_t{win32.highSurrogate} - 0xd800) << 10) + (c - 0xdc00), bytes);
  } else if (c != 0) {
    appendUtf8(c, bytes);
  } else if (key.wVirtualKeyCode >= VK_END && key.wVirtualKeyCode <= VK_DOWN) {
    bytes = std::string("\x1b[") + "FHDACB"[key.wVirtualKeyCode - VK_END];
  } else if ((key.wVirtualKeyCode >= VK_PRIOR && key.wVirtualKeyCode <= VK_NEXT) ||
             key.wVirtualKeyCode == VK_INSERT || key.wVirtualKeyCode == VK_DELETE ||
             (key.wVirtualKeyCode >= VK_F1 && key.wVirtualKeyCode <= VK_F24)) {
    bytes = "\x1b[" + std::to_string(key.wVirtualKeyCode) + '~';
  }
  std::string repeated;
  for (WORD n = 0; n < key.wRepeatCount; ++n)
    repeated += bytes;
  return repeated;
}

// A press or a release of the left button as xterm reports it (SGR), in cells of the window;
// nothing for moves, the wheel and the other buttons.
std::string mouseBytes(const MOUSE_EVENT_RECORD &mouse) {
  const bool left = (mouse.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
  if ((mouse.dwEventFlags & ~static_cast<DWORD>(DOUBLE_CLICK)) != 0 || left == win32.leftDown)
    return {};
  win32.leftDown = left;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(win32.output, &info);
  return "\x1b[<0;" + std::to_string(mouse.dwMousePosition.X + 1) + ';' +
         std::to_string(mouse.dwMousePosition.Y - info.srWindow.Top + 1) + (left ? 'M' : 'm');
}

// Keys typed into the console, or a change of its window; done when none came in the time, which
// is counted down (below 0: as long as it takes). A console's keys come whole, so the time is only
// ever a wait for them.
Event readConsole(std::int32_t &milliseconds) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(milliseconds, 0));
  while (win32.keys.empty()) {
    const HANDLE waits[] = {win32.ending, win32.input};
    const DWORD woken = WaitForMultipleObjects(
        2, waits, FALSE, milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
    if (milliseconds >= 0)
      milliseconds = static_cast<std::int32_t>(end - std::min(end, GetTickCount64()));
    if (woken == WAIT_TIMEOUT) {
      milliseconds = 0;
      return {};
    }
    if (woken != WAIT_OBJECT_0 + 1)
      return Event(Event::Kind::end);
    INPUT_RECORD records[64];
    DWORD got = 0;
    if (!ReadConsoleInputW(win32.input, records, 64, &got))
      return Event(Event::Kind::ended);
    bool resized = false;
    for (DWORD i = 0; i < got; ++i) {
      if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown)
        win32.keys += keyBytes(records[i].Event.KeyEvent);
      if (records[i].EventType == MOUSE_EVENT)
        win32.keys += mouseBytes(records[i].Event.MouseEvent);
      resized = resized || records[i].EventType == WINDOW_BUFFER_SIZE_EVENT;
    }
    if (resized)
      return Event(Event::Kind::resize, 0, windowSize());
  }
  return Event(Event::Kind::bytes);
}

// A pipe is read as it comes.
Event readInput(char *buffer, std::size_t n, std::int32_t &milliseconds) {
  painter.toneMilliseconds = 0;
  if (isEnding())
    return Event(Event::Kind::end);
  if (win32.inputIsConsole) {
    if (const Event event = readConsole(milliseconds); event.kind != Event::Kind::bytes)
      return event;
    const std::size_t count = std::min(n, win32.keys.size());
    win32.keys.copy(buffer, count);
    win32.keys.erase(0, count);
    return Event(Event::Kind::bytes, count);
  }
  DWORD got = 0;
  const BOOL read = ReadFile(win32.input, buffer, static_cast<DWORD>(n), &got, nullptr);
  if (isEnding())
    return Event(Event::Kind::end);
  return read && got > 0 ? Event(Event::Kind::bytes, got) : Event(Event::Kind::ended);
}

// A second at most; Ctrl-C meanwhile is heard when it is over (the console's thread waits as
// long before it ends the game itself).
Event sleepMilliseconds(std::int32_t &milliseconds) {
  const DWORD spent = std::exchange(painter.toneMilliseconds, 0);
  Sleep(static_cast<DWORD>(milliseconds) - std::min(spent, static_cast<DWORD>(milliseconds)));
  milliseconds = 0;
  return isEnding() ? Event(Event::Kind::end) : Event();
}

// Straight on, whatever is ending.
bool put(std::string_view bytes) {
  if (win32.outputIsConsole) {
    painter.play(bytes);
    return true;
  }
  for (DWORD done = 0; !bytes.empty(); bytes.remove_prefix(done))
    if (!WriteFile(win32.output, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr))
      return false;
  return true;
}

Event writeOutput(std::string_view &bytes) {
  if (isEnding())
    return Event(Event::Kind::end);
  const bool written = put(bytes);
  bytes = {};
  return written ? Event() : Event(Event::Kind::lost);
}

void giveBack() {
  if (win32.inputIsConsole)
    SetConsoleMode(win32.input, win32.inputModes);
  if (win32.outputIsConsole) {
    SetConsoleTextAttribute(win32.output, win32.colours);
    SetConsoleMode(win32.output, win32.outputModes);
  }
}

void release(std::string_view lastBytes) {
  put(lastBytes);
  giveBack();
}

void endProcess() {
  ExitProcess(controlCExit);
}

// On the console's own thread. The game's thread hears of it at its next wait, gives the console
// back and ends the process; one that does not within a second (held in a read of a pipe) is
// ended from here.
BOOL WINAPI onBreak(DWORD) {
  SetEvent(win32.ending);
  Sleep(1000);
  giveBack();
  return FALSE;
}

bool isConsole(HANDLE handle, DWORD &modes) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &modes);
}

} // namespace

std::optional<Device> openDevice(bool plain) {
  win32.input = GetStdHandle(STD_INPUT_HANDLE);
  win32.output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (win32.output == nullptr || win32.output == INVALID_HANDLE_VALUE) {
    std::cerr << "quarvel-zib: standard output is closed, so the game cannot be shown.\n";
    return std::nullopt;
  }
  const char *noColour = std::getenv("NO_COLOR");
  const bool colourAllowed = noColour == nullptr || noColour[0] == '\0';
  win32.outputIsConsole = isConsole(win32.output, win32.outputModes);
  if (win32.outputIsConsole) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    GetConsoleScreenBufferInfo(win32.output, &info);
    // The colours as found come back at the end. Until the first clear the game writes on what the
    // window shows, in those colours; then on black, but with NO_COLOR, which keeps them.
    win32.colours = info.wAttributes;
    painter.attributes =
        colourAllowed ? static_cast<WORD>(info.wAttributes & 0x0f) : info.wAttributes;
  }
  if (win32.outputIsConsole && !plain) {
    if (!fitsTheGame(windowSize())) {
      std::cerr << tooSmallMessage(windowSize()) << '\n';
      return std::nullopt;
    }
    // Line ends and the bell are the console's own; writing the last column of a row waits
    // there, as on a terminal, rather than moving on to the next row.
    SetConsoleMode(win32.output, (win32.outputModes | ENABLE_PROCESSED_OUTPUT) &
                                     ~static_cast<DWORD>(ENABLE_WRAP_AT_EOL_OUTPUT));
  }

  Device device;
  // With output that is no console, or in plain play, the console's own echo and line editing
  // serve the player.
  // Quick edit, which only extended flags let be set, stays as found.
  win32.inputIsConsole =
      win32.outputIsConsole && !plain && isConsole(win32.input, win32.inputModes) &&
      SetConsoleMode(
          win32.input,
          win32.gameInputModes =
              (win32.inputModes &
               ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT)) |
              ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT | ENABLE_EXTENDED_FLAGS);
  device.inputIsTerminal = win32.inputIsConsole;
  win32.ending = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onBreak, TRUE);

  device.write = writeOutput;
  device.read = readInput;
  device.sleep = sleepMilliseconds;
  device.suspend = [] { return Event(Event::Kind::resume, 0, windowSize()); };
  device.release = release;
  device.endProcess = endProcess;
  device.size = windowSize();
  device.outputIsTerminal = win32.outputIsConsole;
  device.colourAllowed = colourAllowed;
  device.plain = plain;
  device.capabilities = vt::windowsConsole();
  return device;
}
