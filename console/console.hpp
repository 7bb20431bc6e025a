// The console services every other layer relies on: text colour, where the cursor stands, and the
// few platform facilities the game needs (placing the cursor, clearing, pausing, beeping,
// sleeping). Text itself goes through std::cout; replies come through std::cin.
#pragma once

#include "device.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

// Console attribute values: bit 0 blue, bit 1 green, bit 2 red, bit 3 intensity.
extern std::int32_t foregroundColour;
extern std::int32_t backgroundColour;

// 128 stands for white (15). Everything written afterwards carries the colour.
void setTextColour(std::int32_t colour);

// The cursor's column, 0-based, after everything written so far.
std::int16_t cursorColumn();
// The cursor's row, 0-based, minus 2: callers add back what they need.
std::int16_t cursorRowAbove();

// The next character written lands at this 0-based position; a position outside the screen
// buffer is ignored.
void placeCursor(std::int16_t column, std::int16_t row);
// Whole screen blank, cursor at column 0 of row 0.
void clearScreen();
// Writes the pause prompt and waits for one key, which the game's input never sees.
// False when the input has ended. In plain play, given a way to say the board, the pause offers
// it: b and Enter says it and pauses again.
bool pauseForKey(const std::function<void()> &sayBoard = {});
// 200 Hz for 400 ms where the platform can; returns when the tone has ended.
void beep();
void sleepFor(std::int32_t milliseconds);

// Drops what is left of the reply line already typed, without waiting for more, and takes its
// echo off the screen.
void discardTypedLine();
// The reply line already typed is refused: its whole echo goes, and the cursor stands where the
// Enter of a reply that fit on its row would have left it.
void refuseTypedLine();
// What the replies read since the last call, typed on `row`, echoed outside its first `columns`
// columns goes from the screen: a reply's field is no wider.
void clearEchoOutside(std::int16_t row, std::int16_t columns);
// Whether the reply line already typed holds more than blanks after what was read of it.
bool typedLineHasMore();
// A move is asked: a click on a cell's numbers or mark picks it, and with `arrows` the cursor keys
// point at the cells while the reply is empty. `columns` and `rows` say where each cell's mark
// stands on the screen, [column][row]. The terminal reports the mouse meanwhile.
void offerCells(const std::vector<std::vector<std::int16_t>> &columns,
                const std::vector<std::vector<std::int16_t>> &rows, bool arrows);
void withdrawCells();
// The cell, column and row from 1, that the reply line just read was picked with; none if typed.
std::optional<std::pair<std::int16_t, std::int16_t>> pickedCell();
// Waits for a fresh Enter. False when the input has ended.
bool waitForEnter();

// Everything written so far reaches the screen.
void flushOutput();

// Plain play, for screen readers, braille displays and terminals that cannot place the cursor:
// the game is told in lines of words that only ever append, and nothing of the screen is sent.
bool plainPlay();
// In plain play, a line said; nothing otherwise.
void say(std::string_view line);
// In plain play, whether the next reply line is empty, read now if none is waiting; an empty one
// is taken. Never otherwise.
bool blankLineNext();

// Takes std::cout and std::cin over for the game, for plain play when asked (or when the terminal
// cannot place the cursor). 0 when the game can go on; otherwise the exit status, with the reason
// said in one line on standard error and the terminal untouched.
int openConsole(bool plain);
// The same on a device of the caller's own.
void openConsole(Device device);
// Gives the terminal back as it was found; safe to run twice, and run at exit as well. 0, or 1
// when the output stopped taking text during the game.
int closeConsole();
