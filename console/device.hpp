// What the console runs on: a terminal and its keyboard (POSIX), the Windows console, or a test's
// own screen, keyboard and clock. The device only reports what happened; the console acts on it.
#pragma once

#include "capabilities.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// 0 where unknown.
struct WindowSize {
  std::int16_t columns = 0;
  std::int16_t rows = 0;
};

// What a call on the device came back with.
struct Event {
  enum class Kind : std::uint8_t {
    done,   // the call did all it was asked: everything written, or the time is up
    bytes,  // `count` bytes of input arrived
    ended,  // the input has ended
    lost,   // the output takes no more
    resize, // the window is now `size`
    stop,   // the player asked the game to stop for a while (Ctrl-Z)
    resume, // the game goes on after a stop, in a window now of `size`
    end,    // the game is to end at once (Ctrl-C, a signal)
  };
  Event() = default;
  explicit Event(Kind kind, std::size_t count = 0, WindowSize size = {})
      : kind(kind), count(count), size(size) {}

  Kind kind = Kind::done;
  std::size_t count = 0;
  WindowSize size;
};

struct Device {
  // Writes from the front of `bytes`, dropping what went out; comes back when all did, or
  // when something happened first.
  std::function<Event(std::string_view &bytes)> write;
  // Waits for input, up to n bytes, counting down what is left of the time: done when it is up.
  // A time below 0 waits as long as it takes.
  std::function<Event(char *buffer, std::size_t n, std::int32_t &milliseconds)> read;
  // Waits, counting down what is left of the time.
  std::function<Event(std::int32_t &milliseconds)> sleep;
  // Stops the game until it is continued, the terminal given back meanwhile. Then `resume`, with
  // the window's size as it is now, or `end` when an ending signal came meanwhile.
  std::function<Event()> suspend;
  // Gives the terminal back as it was found, after these last bytes, written as far as the
  // terminal takes them without waiting: a terminal that stops reading cannot hold the game.
  std::function<void(std::string_view lastBytes)> release;
  // Ends the process as the `end` event asked, once the terminal is given back.
  std::function<void()> endProcess;
  WindowSize size;
  // A terminal's keys are echoed and edited by the console; other input is taken a line at a
  // time, as typed into a terminal's own line editing.
  bool inputIsTerminal = false;
  // Output that is no terminal gets the screens as plain text.
  bool outputIsTerminal = true;
  // NO_COLOR: no colour sequences at all.
  bool colourAllowed = true;
  // Colours that read on a light background instead of the game's own, which want a dark one.
  bool lightBackground = false;
  // The terminal is to be asked for its background; its answer comes as input.
  bool askBackground = false;
  // Plain play: the game is told in lines that only ever append, and the terminal keeps its own
  // settings, echo and line editing.
  bool plain = false;
  // What the terminal can do; one that cannot draw the screen takes the sequences every ANSI
  // terminal takes.
  Capabilities capabilities;
};

// The real terminal, or console, behind standard input and output, set up for the game, for plain
// play when asked or when the terminal cannot place the cursor. Empty, after saying why in one
// line on standard error and with the terminal untouched, when it cannot be used.
std::optional<Device> openDevice(bool plain);

// The game's largest screens are 80 columns wide (the banner) and 22 rows high (a 9 x 9 result and
// the big O).
inline constexpr WindowSize neededSize{80, 22};

inline bool fitsTheGame(WindowSize size) {
  return size.columns >= neededSize.columns && size.rows >= neededSize.rows;
}

inline std::string tooSmallMessage(WindowSize size) {
  return "quarvel-zib needs a terminal of at least " + std::to_string(neededSize.columns) + 'x' +
         std::to_string(neededSize.rows) + "; this one is " + std::to_string(size.columns) + 'x' +
         std::to_string(size.rows) + '.';
}
