// Every case under tests/cases, played in-process: the game draws on a libvterm screen, each
// typed reply is handed over when the game next reads, and at each moment named in the case the
// screen must be as the case shows it. With QZ_WRITE_CASES=1 the screens the game actually drew
// are written beside each case as NAME.case.actual, for review.
#include "board/board.hpp"
#include "console/console.hpp"
#include "console/terminal_device.hpp"
#include "flow/game.hpp"
#include "screen.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// One line of a case: a header, a step, or a line of a moment's expected screen.
struct Step {
  std::string kind; // type, resize, stop, continue, scribble, or = for a moment
  std::string text;
  std::size_t line = 0;     // where it stands in the file
  std::size_t blockEnd = 0; // a moment's expected lines run from line + 1 to here
};

struct Case {
  std::vector<std::string> lines;
  std::vector<Step> steps;
  bool terminal = true;
  bool colour = true;
  int columns = 80;
  int rows = 24;
  char first = 'O';
  int writesThatWork = -1; // then the terminal takes no more output
};

bool isBlockLine(const std::string &line) {
  return std::regex_search(line, std::regex("^([|:]|(cursor|bells|sleeps|bytes|status) )"));
}

Case load(const fs::path &path) {
  Case c;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    c.lines.push_back(line);
  for (std::size_t i = 0; i < c.lines.size(); ++i) {
    std::istringstream words(c.lines[i]);
    std::string word;
    words >> word;
    const std::string rest = c.lines[i].substr(std::min(c.lines[i].size(), word.size() + 1));
    if (word == "terminal" || word == "piped") {
      c.terminal = word == "terminal";
      std::sscanf(rest.c_str(), "%dx%d", &c.columns, &c.rows);
    } else if (word == "no-colour") {
      c.colour = false;
    } else if (word == "first") {
      c.first = rest.at(0);
    } else if (word == "output-fails-after") {
      c.writesThatWork = std::stoi(rest);
    } else if (std::regex_match(word, std::regex("type|resize|stop|continue|scribble|="))) {
      Step step{word, rest, i, i + 1};
      while (word == "=" && step.blockEnd < c.lines.size() && isBlockLine(c.lines[step.blockEnd]))
        ++step.blockEnd;
      c.steps.push_back(step);
    } else if (!word.empty() && word[0] != '#' && !isBlockLine(c.lines[i])) {
      throw std::runtime_error(path.string() + ": what is \"" + c.lines[i] + "\"?");
    }
  }
  return c;
}

// Keys in the case's notation: ⏎ Enter, ⌫ Backspace, ^X a control key, {x*N} x typed N times.
std::string keys(const std::string &text, bool terminal) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "⏎") == 0) {
      bytes += terminal ? '\r' : '\n';
      i += 2;
    } else if (text.compare(i, 3, "⌫") == 0) {
      bytes += '\x7f';
      i += 2;
    } else if (text[i] == '^' && i + 1 < text.size()) {
      bytes += static_cast<char>(text[++i] ^ 0x40);
    } else if (text[i] == '{') {
      const std::size_t star = text.find('*', i), end = text.find('}', i);
      bytes.append(std::stoul(text.substr(star + 1, end - star - 1)), text[i + 1]);
      i = end;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

// Console colours set by each SGR sequence, so that one that changes nothing stands out. The
// terminal's colour is unknown at the start and at each of `forgotten`.
std::string repeatedColour(const std::string &written, std::vector<std::size_t> forgotten) {
  std::pair<bool, int> state{false, -1}; // bold, foreground
  forgotten.push_back(written.size());
  const std::regex sgr("\x1b\\[([0-9;]*)m");
  for (std::sregex_iterator it(written.begin(), written.end(), sgr), end; it != end; ++it) {
    if (static_cast<std::size_t>(it->position()) >= forgotten.front()) {
      forgotten.erase(forgotten.begin());
      state.second = -1;
    }
    const auto before = state;
    std::istringstream codes((*it)[1]);
    for (std::string code; std::getline(codes, code, ';');) {
      const int n = code.empty() ? 0 : std::stoi(code);
      if (n == 0)
        state = {false, 39};
      else if (n == 1 || n == 22)
        state.first = n == 1;
      else
        state.second = n;
    }
    if (state == before)
      return "a colour sequence that changes nothing at byte " + std::to_string(it->position());
  }
  return {};
}

class Playing {
public:
  explicit Playing(const fs::path &path) : path(path), c(load(path)), screen(c.columns, c.rows) {}

  void play() {
    gridSize = 0;
    twoPlayers = false;
    currentTurn = 0;
    // The first value of the unseeded generator decides who goes first; find a seed that gives it.
    for (unsigned seed = 1;; ++seed) {
      std::srand(seed);
      if ((std::rand() & 1) == (c.first == 'O' ? 1 : 0)) {
        std::srand(seed);
        break;
      }
    }
    // The game starts below a shell's command line.
    screen.feed("$ quarvel-zib\n", true);
    openConsole(device());
    playGame();
    status = closeConsole();
    waited(Wait::end);
    for (; next < c.steps.size(); ++next)
      fail(c.steps[next].line, "never reached");
    if (const std::string repeated = repeatedColour(written, colourForgotten); !repeated.empty())
      fail(0, repeated);
    if (std::getenv("QZ_WRITE_CASES"))
      writeActual();
  }

  std::string failures;

private:
  TerminalDevice device() {
    TerminalDevice d;
    d.write = [this](std::string_view bytes) {
      if (c.writesThatWork >= 0 && writes >= c.writesThatWork)
        return false;
      ++writes;
      written += bytes;
      screen.feed(bytes, true);
      return true;
    };
    d.read = [this](char *buffer, std::size_t n) -> std::ptrdiff_t {
      if (typed.empty())
        waited(Wait::read);
      const std::size_t count = std::min(n, typed.size());
      std::copy_n(typed.data(), count, buffer);
      typed.erase(0, count);
      return static_cast<std::ptrdiff_t>(count);
    };
    d.sleep = [this](std::int32_t milliseconds) {
      sleeps += ' ' + std::to_string(milliseconds);
      waited(Wait::sleep);
    };
    d.size = {static_cast<std::int16_t>(c.columns), static_cast<std::int16_t>(c.rows)};
    d.inputIsTerminal = c.terminal;
    d.colourAllowed = c.colour;
    return d;
  }

  enum class Wait { read, sleep, end };

  // The game waits: the steps up to its next typing happen now, and the moment before it.
  void waited(Wait wait) {
    if (writes - writesBefore > 1)
      fail(0, std::to_string(writes - writesBefore) + " writes before one wait");
    // One moment per wait, and one after each event that redraws.
    bool looked = false;
    for (; next < c.steps.size(); ++next) {
      const Step &step = c.steps[next];
      if (step.kind == "=") {
        if (looked || (step.text.find("@sleep") != std::string::npos) != (wait == Wait::sleep))
          break;
        check(step);
        looked = true;
      } else if (wait != Wait::read) {
        break;
      } else if (step.kind == "type") {
        typed = keys(step.text, c.terminal);
        ++next;
        break;
      } else if (step.kind == "resize") {
        std::sscanf(step.text.c_str(), "%dx%d", &c.columns, &c.rows);
        screen.resize(c.columns, c.rows);
        consoleWindowChanged(
            {static_cast<std::int16_t>(c.columns), static_cast<std::int16_t>(c.rows)});
        looked = false;
      } else {
        if (step.kind == "stop")
          consoleSuspending();
        if (step.kind == "continue") {
          colourForgotten.push_back(written.size());
          consoleResumed();
        }
        // What the shell, or another program, writes meanwhile.
        screen.feed(step.kind == "stop"       ? "[1]+  Stopped   quarvel-zib\n$ fg\nquarvel-zib\n"
                    : step.kind == "scribble" ? "\nMessage from root@host: hello\n"
                                              : "",
                    true);
        looked = false;
      }
    }
    writesBefore = writes;
  }

  // The screen now, in the case's notation.
  std::string shown(const Step &expected) {
    std::string block;
    int last = screen.rows() - 1;
    while (last >= 0 && screen.row(last).empty())
      --last;
    for (int r = 0; r <= last; ++r)
      block += '|' + screen.row(r) + '\n';
    for (int r = 0; r <= last; ++r)
      block += ':' + screen.colours(r) + '\n';
    block += "cursor " + std::to_string(screen.cursorColumn()) + ',' +
             std::to_string(screen.cursorRow()) + '\n';
    if (screen.bells() != bells)
      block += "bells " + std::to_string(screen.bells() - bells) + '\n';
    if (!sleeps.empty())
      block += "sleeps" + sleeps + '\n';
    // A byte count in the case is the most the game may send.
    for (std::size_t i = expected.line + 1; i < expected.blockEnd; ++i) {
      if (!c.lines[i].starts_with("bytes "))
        continue;
      const std::size_t most = std::stoul(c.lines[i].substr(6));
      const std::size_t sent = written.size() - bytesBefore;
      block += "bytes " + std::to_string(sent <= most ? most : sent) + '\n';
    }
    if (status >= 0)
      block += "status " + std::to_string(status) + '\n';
    return block;
  }

  void check(const Step &step) {
    std::string expected;
    for (std::size_t i = step.line + 1; i < step.blockEnd; ++i)
      expected += c.lines[i] + '\n';
    actual[step.line] = shown(step);
    if (actual[step.line] != expected)
      fail(step.line, "the screen at \"" + step.text + "\" differs:\nexpected\n" + expected +
                          "actual\n" + actual[step.line]);
    bells = screen.bells();
    sleeps.clear();
    bytesBefore = written.size();
  }

  void fail(std::size_t line, const std::string &what) {
    failures += path.string() + ':' + std::to_string(line + 1) + ": " + what + '\n';
  }

  void writeActual() {
    std::vector<bool> drawn(c.lines.size());
    for (const Step &step : c.steps)
      if (actual.count(step.line) != 0)
        std::fill(drawn.begin() + static_cast<std::ptrdiff_t>(step.line) + 1,
                  drawn.begin() + static_cast<std::ptrdiff_t>(step.blockEnd), true);
    std::ofstream out(path.string() + ".actual");
    for (std::size_t i = 0; i < c.lines.size(); ++i)
      out << (drawn[i] ? "" : c.lines[i] + '\n') << (actual.count(i) != 0 ? actual[i] : "");
  }

  fs::path path;
  Case c;
  Screen screen;
  std::size_t next = 0;
  std::string typed;
  std::string written;
  int writes = 0;
  int writesBefore = 0;
  int bells = 0;
  std::string sleeps;
  std::size_t bytesBefore = 0;
  int status = -1;
  std::vector<std::size_t> colourForgotten;
  std::map<std::size_t, std::string> actual;
};

std::vector<fs::path> cases() {
  std::vector<fs::path> found;
  for (const auto &entry : fs::recursive_directory_iterator(QZ_CASES))
    if (entry.path().extension() == ".case")
      found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

class Screens : public testing::TestWithParam<fs::path> {};

TEST_P(Screens, PlayAsTheCaseShows) {
  Playing run(GetParam());
  run.play();
  EXPECT_EQ(run.failures, "");
}

INSTANTIATE_TEST_SUITE_P(, Screens, testing::ValuesIn(cases()), [](const auto &info) {
  const fs::path relative = fs::relative(info.param, QZ_CASES).replace_extension();
  std::string name = relative.string();
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
});

} // namespace
