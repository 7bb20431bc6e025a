// Replies and keys as the game reads them on POSIX. A terminal's own echo and line editing are off
// while the game runs, so keys typed ahead wait unseen; a reply is echoed into the screen where
// it is read, in the colour in force, with Backspace, Ctrl-U, Ctrl-L and Ctrl-D on an empty line.
// Input that is not a terminal is shown a line at a time, as a terminal would have echoed it.
#pragma once

#include "line_input.hpp"
#include "screen_buffer.hpp"

#include <functional>
#include <string>

class Keyboard {
public:
  // repaint: Ctrl-L was pressed.
  Keyboard(ScreenBuffer &screen, ByteQueue::Reader reader, bool terminal,
           std::function<void()> repaint)
      : screen(screen), input(std::move(reader)), terminal(terminal), repaint(std::move(repaint)) {}

  // One reply line, without its line end; false when the input ended first.
  bool readLine(std::string &line);
  // One key at a pause, which no reply sees: a line when the input is not a terminal. False when
  // the input has ended.
  bool readKey();

private:
  bool editLine(std::string &line);

  ScreenBuffer &screen;
  ByteQueue input;
  bool terminal;
  std::function<void()> repaint;
};
