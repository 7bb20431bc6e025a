#include "game_script.hpp"

#include <sstream>

namespace {

using namespace std::chrono_literals;
using Colour = std::function<int(char)>;

constexpr const char *rule = "-----------";
constexpr const char *pausePrompt = "Press any key to continue . . .";
constexpr const char *bigOEnd = "                               O O";

int boardColour(char c) {
  return c == 'X' ? 9 : c == 'O' ? 12 : c == '|' || c == '-' ? 10 : 7;
}
int magenta(char) {
  return 13;
}

// Rows from `first` on read `texts`, each character in the colour `colour` gives it.
bool shows(const Screen &s, int first, const std::vector<std::string> &texts,
           const Colour &colour) {
  for (int r = first; const std::string &text : texts) {
    if (s.row(r) != text)
      return false;
    for (int c = 0; c < static_cast<int>(text.size()); ++c)
      if (text[c] != ' ' && s.colourAt(c, r) != colour(text[c]))
        return false;
    ++r;
  }
  return true;
}

bool colouredAs(const Screen &s, int first, int last, int colour) {
  for (int r = first; r <= last; ++r)
    for (int c = 0; c < s.columns(); ++c)
      if (s.at(c, r) != ' ' && s.colourAt(c, r) != colour)
        return false;
  return true;
}

// The board with its legend, the bells rung so far, and the entry row with the cursor on it.
std::function<bool(const Screen &)> board(std::vector<std::string> picture, int bells,
                                          std::string entry, int cursor) {
  return [=](const Screen &s) {
    return shows(s, 0, picture, boardColour) &&
           shows(s, 5, {"", "Col(accros)   Row(down)"}, magenta) && s.bells() == bells &&
           s.row(7) == entry && s.cursorColumn() == cursor && s.cursorRow() == 7;
  };
}

} // namespace

std::vector<Step> oneGame() {
  const int bigO = 8;
  const std::vector<std::string> centre = {"1.1|2.1|3.1", rule, "1.2| O |3.2", rule, "1.3|2.3|3.3"};
  const std::vector<std::string> beside = {" X |2.1|3.1", rule, " O | O |3.2", rule, "1.3|2.3|3.3"};
  return {
      {"the grid-size question",
       [](const Screen &s) {
         return shows(s, 2, {"     Between size 3 and 9 what size do you want the grid to be?"},
                      magenta) &&
                s.cursorColumn() == 5 && s.cursorRow() == 3;
       },
       false, "3\r"},
      {"the player-count question on a cleared screen",
       [](const Screen &s) {
         return shows(s, 0,
                      {"", "",
                       "     Enter 0 for a one player game or enter 1 for a two player game", ""},
                      magenta) &&
                s.cursorColumn() == 5 && s.cursorRow() == 3;
       },
       false, "0\r"},
      {"who goes first, and the pause",
       [](const Screen &s) {
         return shows(s, 6, {"     Enemy O will go first"}, magenta) &&
                s.row(7) == std::string("     ") + pausePrompt;
       },
       true, " "},
      {"the board with O in the centre", board(centre, 0, "", 5), false, "2\r"},
      {"the row asked", board(centre, 0, "     2", 18), false, "2\r"},
      {"the taken centre refused with a bell", board(centre, 1, "", 5), false, "1\r"},
      {"the row asked", board(centre, 1, "     1", 18), false, "1\r"},
      {"O beside X", board(beside, 1, "", 5), false, "3\r"},
      {"the row asked", board(beside, 1, "     3", 18), false, "1\r"},
      {"O wins, the legend and entry row blanked",
       [](const Screen &s) {
         return shows(s, 0, {" X |2.1| X", rule, " O | O | O", rule, "1.3|2.3|3.3", "", "", ""},
                      boardColour) &&
                shows(s, 8, {"O wins the game"}, [](char c) { return c == 'O' ? 12 : 15; }) &&
                s.row(9) == pausePrompt;
       },
       true, "x"},
      {"the banner and a big O, waiting for a fresh Enter",
       [=](const Screen &s) {
         return s.row(0).empty() && s.row(1).starts_with("   A      L") &&
                colouredAs(s, 1, 7, 15) && s.row(7).starts_with("A     A   L L") &&
                s.row(bigO) == bigOEnd && s.row(bigO + 11) == bigOEnd &&
                colouredAs(s, bigO, bigO + 11, 12);
       },
       false, "\r"},
  };
}

testing::AssertionResult showsTitle(PtySession &session, PtySession::Timeout first) {
  auto within = first;
  // Pass 0 keeps the terminal's own colour.
  for (const int colour : {7, 12, 15, 2, 13, 14, 3, 10, 9}) {
    const Colour pass = [=](char) { return colour; };
    if (!session.waitFor(
            [&](const Screen &s) {
              return shows(s, 0, {"", "", "     QUARVEL", "       ZIB"}, pass);
            },
            within))
      return testing::AssertionFailure()
             << "no title in colour " << colour << " by " << session.elapsed().count() << " ms\n"
             << session.screen().text();
    within = 2s;
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult reach(PtySession &session, const Step &step, bool underWine,
                               PtySession::Timeout within) {
  const bool raw = underWine || step.keyMode;
  // wine's console may still be drawing while the program already waits, so a screen half
  // drawn can pass for the step: there it must also stay unchanged for a moment.
  const auto quiet = underWine ? 500ms : 0ms;
  const auto deadline = std::chrono::steady_clock::now() + within;
  for (auto left = within; left > 0ms; left = std::chrono::duration_cast<PtySession::Timeout>(
                                           deadline - std::chrono::steady_clock::now())) {
    if (!session.waitFor(step.ready, left) ||
        !session.waitForTermios([&](const termios &t) { return !(t.c_lflag & ICANON) == raw; },
                                left) ||
        !session.waitUntilBlocked(left))
      break;
    const std::size_t seen = session.output().size();
    session.waitFor([&](const Screen &) { return session.output().size() != seen; }, quiet);
    if (session.output().size() == seen && step.ready(session.screen()))
      return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "never showed " << step.shows << " by " << session.elapsed().count() << " ms"
         << (step.ready(session.screen()) ? "" : " (not on the screen)")
         << ((session.terminalSettings().c_lflag & ICANON) ? " (line mode)" : " (raw)")
         << ", cursor at " << session.screen().cursorColumn() << ',' << session.screen().cursorRow()
         << ", bells " << session.screen().bells() << '\n'
         << session.screen().text();
}
