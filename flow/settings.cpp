#include "game.hpp"
#include "reply.hpp"

#include "board/colours.hpp"
#include "console/console.hpp"

#include <iostream>
#include <string_view>

namespace {

constexpr std::int16_t smallestGrid = 3;
constexpr std::int16_t largestGrid = 9;
// Replies stand after five spaces, below their question.
constexpr std::int16_t replyColumn = 5;

constexpr std::string_view sizeQuestion =
    "     Between size 3 and 9 what size do you want the grid to be?";
constexpr std::string_view playersQuestion =
    "     Enter 0 for a one player game or enter 1 for a two player game";

// Every message stands two lines below what came before, in magenta; the reply goes in white on
// the line below it, after five spaces. In plain play it is said, a line of its own.
void writePrompt(std::string_view message) {
  setTextColour(colours::messages);
  std::cout << "\n\n" << message << '\n';
  setTextColour(colours::white);
  std::cout << std::string(replyColumn, ' ');
  say(message);
}

// In plain play, an empty line asks the question again.
Reply readSetting(std::string_view question, std::int16_t &value) {
  return readReply(value, [question] { say(question); });
}

bool gridSizeAccepted() {
  return gridSize >= smallestGrid && gridSize <= largestGrid;
}

std::string_view announcement() {
  if (currentTurn == 0)
    return "     Player X will go first";
  return twoPlayers ? "     Player O will go first" : "     Enemy O will go first";
}

} // namespace

std::uint32_t randomState = 1;

std::int16_t nextRandom() {
  randomState = randomState * 214013 + 2531011;
  return static_cast<std::int16_t>((randomState >> 16) & 0x7fff);
}

std::int16_t askSettings() {
  while (!gridSizeAccepted()) {
    writePrompt(sizeQuestion);
    const Reply reply = readSetting(sizeQuestion, gridSize);
    setTextColour(colours::normalText);
    // Each question takes a line of its own: what follows the number is dropped.
    if (reply == Reply::number)
      discardTypedLine();
    if (reply == Reply::ended)
      return 0;
    if (!gridSizeAccepted()) {
      say("Not a size from 3 to 9.");
      beep();
    }
    clearScreen();
  }

  writePrompt(playersQuestion);
  std::int16_t players = 0;
  for (Reply reply; (reply = readSetting(playersQuestion, players)) != Reply::number;) {
    if (reply == Reply::ended) {
      setTextColour(colours::normalText);
      return 0;
    }
    say("Not a number.");
    say(playersQuestion);
    beep();
    // Asked again where the refused reply stood.
    placeCursor(replyColumn, static_cast<std::int16_t>(cursorRowAbove() + 1));
  }
  discardTypedLine();
  setTextColour(colours::normalText);
  twoPlayers = players != 0;

  // Never seeded, so every run draws the same first player: the first value is odd, O starts.
  currentTurn = (nextRandom() & 1) != 0 ? 1 : 0;

  writePrompt(announcement());
  const bool paused = pauseForKey();
  setTextColour(colours::normalText);
  if (!paused)
    return 0;
  clearScreen();
  return gridSize;
}
