// Every case under tests/cases, played in-process: the game draws on a libvterm screen, each
// typed reply is handed over when the game next reads, and at each moment named in the case the
// screen must be as the case shows it. With QZ_WRITE_CASES=1 the screens the game actually drew
// are written beside each case as NAME.case.actual, for review.
//
// A case is a header (terminal or piped WIDTHxHEIGHT, term NAME: the terminfo entry it draws with,
// xterm-256color unless it says, logged: piped into a file, plain: plain play
// in a terminal, its keys typed a line at a time, first X or O,
// no-colour, light: a light background, where every colour sent must read on white,
// output-fails-after WRITES, turns-within L lines W words; the winning turn V words: in plain
// play, what is said from one reply to the next is that short where a move is said, but for the
// board), then steps in the order the game meets them; any other line fails
// the case:
//   type KEYS     typed at the game's next read that waits as long as it takes (one with a time,
//                 for the rest of an escape sequence, gets nothing): ⏎ Enter, ⌫ Backspace, ^X a
//                 control key, \xHH a byte, {x*N}
//   resize WxH    the window changes, also while the game is stopped; stop, continue: Ctrl-Z,
//                 then fg; scribble: another program writes on the terminal
//   = NAME        the screen at the next read, or @sleep at the next sleep, or at the end (@end:
//                 only there), on the indented lines below: its rows (|), colours (:, one hex digit
//                 a cell), the cursor, the colour set last, and since the moment before, the bells,
//                 the sleeps, the bytes sent and, where asked, the writes; logged, the text
//                 written since (|)
#include "console/console.hpp"
#include "console/screen_buffer.hpp"
#include "console/terminfo.hpp"
#include "flow/game.hpp"
#include "screen.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The relative luminance of a foreground in xterm's own palette: CSI 30..37 m and 90..97 m, or
// 256 and a 256-colour index.
double luminanceOf(int code) {
  static constexpr int sixteen[16][3] = {
      {0, 0, 0},     {205, 0, 0},     {0, 205, 0},     {205, 205, 0},  {0, 0, 238}, {205, 0, 205},
      {0, 205, 205}, {229, 229, 229}, {127, 127, 127}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
      {92, 92, 255}, {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  const int index = code >= 256 ? code - 256 : code >= 90 ? code - 82 : code - 30;
  const auto level = [](int step) { return step == 0 ? 0 : 55 + 40 * step; };
  int rgb[3];
  for (int c = 0; c < 3; ++c)
    rgb[c] = index < 16    ? sixteen[index][c]
             : index < 232 ? level((index - 16) /
                                   (c == 0   ? 36
                                    : c == 1 ? 6
                                             : 1) %
                                   6)
                           : 8 + 10 * (index - 232);
  double luminance = 0;
  for (int c = 0; c < 3; ++c) {
    const double share = rgb[c] / 255.0;
    luminance += (c == 0   ? 0.2126
                  : c == 1 ? 0.7152
                           : 0.0722) *
                 (share <= 0.04045 ? share / 12.92 : std::pow((share + 0.055) / 1.055, 2.4));
  }
  return luminance;
}

// A moment's screen stands indented under its name.
bool isBlockLine(const std::string &line) {
  return line.starts_with("  ");
}

struct Playing {
  explicit Playing(const fs::path &path) : path(path), lines(linesOf(path)) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string &line = lines[i];
      int n = 0, m = 0;
      if (std::sscanf(line.c_str(), "terminal %dx%d", &n, &m) == 2 ||
          std::sscanf(line.c_str(), "piped %dx%d", &n, &m) == 2) {
        columns = n, rows = m, terminal = line.starts_with("terminal");
      } else if (line == "logged" || line == "plain") {
        logged = true, terminal = false, plain = line == "plain";
      } else if (line.size() == 7 && line.starts_with("first ")) {
        first = line[6];
      } else if (line.starts_with("term ")) {
        term = line.substr(5);
      } else if (!(std::sscanf(line.c_str(), "output-fails-after %d", &writesThatWork) == 1 ||
                   std::sscanf(line.c_str(),
                               "turns-within %d lines %d words; the winning turn %d words",
                               &turnLines, &turnWords, &winningWords) == 3 ||
                   line == "light" || line == "no-colour" || isStep(line) || isBlockLine(line) ||
                   line.empty() || line.starts_with('#'))) {
        fail(i, "not a line the runner knows");
      }
      light = light || line == "light";
      colour = colour && line != "no-colour";
    }
    screen.emplace(columns, rows);
  }

  static bool isStep(const std::string &line) {
    int n = 0, m = 0;
    return line.starts_with("type ") || line.starts_with("= ") || line == "stop" ||
           line == "continue" || line == "scribble" ||
           std::sscanf(line.c_str(), "resize %dx%d", &n, &m) == 2;
  }

  std::string play() {
    startFreshGame(first);
    screen->feed("$ quarvel-zib\n", true); // the game starts below a shell's command line
    Device device;
    device.write = [this](std::string_view &bytes) {
      if (writes == writesThatWork)
        return Event(Event::Kind::lost);
      ++writes;
      checkColourSequences(bytes);
      written += bytes;
      screen->feed(bytes, true);
      bytes = {};
      return Event();
    };
    // Nothing typed comes within a wait with a time.
    device.read = [this](char *buffer, std::size_t n, std::int32_t &milliseconds) {
      if (typed.empty() && milliseconds >= 0) {
        milliseconds = 0;
        return Event();
      }
      if (typed.empty()) {
        checkTurn();
        if (const std::optional<Event> event = waited("read"))
          return *event;
      }
      const std::size_t count = std::min(n, typed.size());
      typed.copy(buffer, count);
      typed.erase(0, count);
      return Event(count == 0 ? Event::Kind::ended : Event::Kind::bytes, count);
    };
    device.sleep = [this](std::int32_t &milliseconds) {
      sleeps += ' ' + std::to_string(std::exchange(milliseconds, 0));
      waited("sleep");
      return Event();
    };
    // What the shell writes while the game is stopped.
    device.suspend = [this] {
      screen->feed("[1]+  Stopped   quarvel-zib\n$ fg\nquarvel-zib\n", true);
      waited("stop");
      terminalColour = {false, -1};
      return Event(Event::Kind::resume, 0,
                   {static_cast<std::int16_t>(columns), static_cast<std::int16_t>(rows)});
    };
    device.release = [this](std::string_view lastBytes) { screen->feed(lastBytes, true); };
    device.endProcess = [this] { fail(next, "the game was ended"); };
    device.size = {static_cast<std::int16_t>(columns), static_cast<std::int16_t>(rows)};
    device.inputIsTerminal = terminal;
    device.outputIsTerminal = !logged || plain;
    device.plain = plain;
    device.colourAllowed = colour;
    device.lightBackground = light;
    if (const std::optional<Capabilities> entry = terminfoCapabilities(term))
      device.capabilities = *entry;
    else
      fail(0, "no terminfo entry for " + term);
    // A terminal without colours gets none, as with NO_COLOR.
    colour = colour && device.capabilities.foreground;
    ::alarm(5); // a game that hangs fails at once
    openConsole(device);
    playGame();
    status = closeConsole();
    ::alarm(0);
    waited("end");
    for (; next < lines.size(); ++next)
      if (lines[next].starts_with("= ") || lines[next].starts_with("type "))
        fail(next, "never reached");
    if (std::getenv("QZ_WRITE_CASES") != nullptr) {
      std::ofstream out(path.string() + ".actual");
      bool replacing = false;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (replacing && isBlockLine(lines[i]))
          continue;
        replacing = actual.count(i) != 0;
        out << lines[i] << '\n' << (replacing ? actual[i] : "");
      }
    }
    return failures;
  }

  // The game waits: the steps before its next typing happen now, with a moment before each. A
  // change of the window, or Ctrl-Z, comes back to the game at once; fg ends a stop.
  std::optional<Event> waited(const std::string &wait) {
    for (bool looked = false; next < lines.size(); ++next) {
      const std::string &step = lines[next];
      const bool typing = step.starts_with("type ") || step.starts_with("resize ") ||
                          step == "stop" || step == "continue" || step == "scribble";
      if (step.starts_with("= ")) {
        if (looked || step.ends_with("@sleep") != (wait == "sleep") ||
            (step.ends_with("@end") && wait != "end"))
          break;
        check(next);
        looked = true;
      } else if (typing &&
                 !(wait == "read" || (wait == "stop" && (step == "continue" || step == "scribble" ||
                                                         step.starts_with("resize "))))) {
        break;
      } else if (step == "continue") {
        ++next;
        break;
      } else if (step.starts_with("type ")) {
        typed = keys(step.substr(5), terminal);
        ++next;
        break;
      } else if (std::sscanf(step.c_str(), "resize %dx%d", &columns, &rows) == 2) {
        screen->resize(columns, rows);
        if (wait == "stop") // the game learns of it when it goes on
          continue;
        ++next;
        return Event(Event::Kind::resize, 0,
                     {static_cast<std::int16_t>(columns), static_cast<std::int16_t>(rows)});
      } else if (step == "stop") {
        ++next;
        return Event(Event::Kind::stop);
      } else if (step == "scribble") { // another program writes on the terminal meanwhile
        screen->feed("\nMessage from root@host: hello\n", true);
        looked = false;
      }
    }
    return std::nullopt;
  }

  // The screen now, in the case's notation, against what the case shows.
  void check(std::size_t at) {
    std::string expected, shown, colours;
    std::size_t end = at + 1;
    for (; end < lines.size() && isBlockLine(lines[end]); ++end)
      expected += lines[end] + '\n';
    if (logged) {
      std::istringstream log(written.substr(bytesBefore));
      for (std::string line; std::getline(log, line);)
        shown += "  |" + (line == "\f" ? "^L" : line) + '\n';
    } else {
      int last = screen->rows() - 1;
      while (last >= 0 && screen->row(last).empty())
        --last;
      for (int r = 0; r <= last; ++r) {
        shown += "  |" + screen->row(r) + '\n';
        colours += "  :" + screen->colours(r) + '\n';
      }
      shown += colours + "  cursor " + std::to_string(screen->cursorColumn()) + ',' +
               std::to_string(screen->cursorRow()) + "\n  colour " +
               std::to_string(foregroundColour) + '\n';
    }
    if (screen->bells() != bells)
      shown += "  bells " + std::to_string(screen->bells() - bells) + '\n';
    if (!sleeps.empty())
      shown += "  sleeps" + sleeps + '\n';
    if (!logged)
      shown += "  bytes " + std::to_string(written.size() - bytesBefore) + '\n';
    if (expected.find("  writes ") != std::string::npos)
      shown += "  writes " + std::to_string(writes - writesBefore) + '\n';
    if (status >= 0)
      shown += "  status " + std::to_string(status) + '\n';
    if (shown != expected)
      fail(at, "the screen differs:\nexpected\n" + expected + "actual\n" + shown);
    actual[at] = shown;
    bells = screen->bells();
    sleeps.clear();
    bytesBefore = written.size();
    writesBefore = writes;
  }

  // What was said since the game last waited for a reply, if it tells a move: the turn a listener
  // hears, within the case's bounds; the board said in full is the listener's own request.
  void checkTurn() {
    const std::string turn = written.substr(std::exchange(turnStart, written.size()));
    if (turnLines < 0 || turn.find(" takes ") == std::string::npos ||
        turn.find("Row 1:") != std::string::npos)
      return;
    std::istringstream words(turn);
    const auto count = std::distance(std::istream_iterator<std::string>(words), {});
    const auto lines = std::count(turn.begin(), turn.end(), '\n');
    if (turn.find("wins the game") != std::string::npos ? count > winningWords
                                                        : lines > turnLines || count > turnWords)
      fail(next, "a turn too long to hear, " + std::to_string(lines) + " lines and " +
                     std::to_string(count) + " words:\n" + turn);
  }

  // Each colour sequence must change the terminal's colour, which is unknown at the start and
  // after the game comes back from a stop; with NO_COLOR there is none at all.
  void checkColourSequences(std::string_view bytes) {
    for (std::size_t at = 0; (at = bytes.find("\x1b[", at)) != std::string::npos; ++at) {
      const std::size_t end = bytes.find_first_not_of("0123456789;", at + 2);
      if (end == std::string::npos || bytes[end] != 'm')
        continue;
      if (!colour)
        return fail(0, "a colour sequence though NO_COLOR is set");
      const auto before = terminalColour;
      const std::string given(bytes.substr(at + 2, end - at - 2));
      std::istringstream codes(given.empty() ? "0" : given); // CSI m is CSI 0 m
      for (int code = 0; codes >> code; codes.ignore()) {
        if (int index = 0; code == 38 && codes.ignore(3) >> index) // CSI 38;5;N m
          code = 256 + index;
        if (code == 49) // the terminal's own background, which the game never changes
          continue;
        terminalColour = code == 0                 ? std::pair{false, 39}
                         : code == 1 || code == 22 ? std::pair{code == 1, terminalColour.second}
                                                   : std::pair{terminalColour.first, code};
        if (light && code != 0 && code != 1 && code != 22 && code != 39 &&
            1.05 / (luminanceOf(code) + 0.05) < 3)
          fail(0, "a colour that does not read on white: " + testing::PrintToString(given));
      }
      if (terminalColour == before)
        fail(0, "a colour sequence changes nothing: " + testing::PrintToString(bytes));
    }
  }

  void fail(std::size_t line, const std::string &what) {
    failures += path.string() + ':' + std::to_string(line + 1) + ": " + what + '\n';
  }

  fs::path path;
  std::vector<std::string> lines;
  int columns = 80, rows = 24, writesThatWork = -1;
  char first = 'O';
  std::string term = "xterm-256color";
  bool terminal = true, logged = false, plain = false, colour = true, light = false;
  std::optional<Screen> screen;
  std::size_t next = 0, bytesBefore = 0;
  std::string typed, written, sleeps, failures;
  int writes = 0, writesBefore = 0, bells = 0, status = -1;
  // Plain play's bounds on a turn, -1 for none, and where the turn being said began.
  int turnLines = -1, turnWords = -1, winningWords = -1;
  std::size_t turnStart = 0;
  std::pair<bool, int> terminalColour{false, -1}; // bold, foreground; -1 unknown
  std::map<std::size_t, std::string> actual;
};

// The first player's draw, as the C runtime the game was first built with draws it: its first
// values from the unseeded start, and from the state the cases start from for X.
TEST(game, DrawsAsTheRuntimeItWasDesignedFor) {
  randomState = 1;
  for (const std::int16_t value : {41, 18467, 6334, 26500, 19169})
    EXPECT_EQ(nextRandom(), value);
  randomState = 3;
  EXPECT_EQ(nextRandom() & 1, 0);
}

// The console's buffer holds its last thousand rows: a line end on the last one drops the first.
TEST(console, BufferKeepsItsLastRows) {
  ScreenBuffer buffer;
  buffer.write('a');
  for (int row = 0; row < ScreenBuffer::height; ++row)
    buffer.write('\n');
  EXPECT_EQ(buffer.cursor().row, ScreenBuffer::height - 1);
  EXPECT_EQ(buffer.row(0)[0].glyph, ' ');
}

class Screens : public testing::TestWithParam<fs::path> {};

TEST_P(Screens, PlayAsTheCaseShows) {
  EXPECT_EQ(Playing(GetParam()).play(), "");
}

INSTANTIATE_TEST_SUITE_P(board, Screens, testing::ValuesIn(filesIn(QZ_CASES "/board", ".case")),
                         namedAfterFile);
INSTANTIATE_TEST_SUITE_P(console, Screens, testing::ValuesIn(filesIn(QZ_CASES "/console", ".case")),
                         namedAfterFile);
INSTANTIATE_TEST_SUITE_P(game, Screens, testing::ValuesIn(filesIn(QZ_CASES "/game", ".case")),
                         namedAfterFile);

} // namespace
