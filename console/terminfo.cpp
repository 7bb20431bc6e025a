// Read with libtinfo, in a unit of its own: term.h names hundreds of macros (bell, lines, columns)
// that would clash with the rest of the console.
#include "terminfo.hpp"

#include <algorithm>
#include <map>
#include <memory>
#include <term.h>
#include <unistd.h>
#include <utility>

// term.h's own name for the bell capability, which Capabilities names too.
#undef bell

namespace {

// Padding ($<5>, $<2*/>) was for terminals of long ago that needed time: no delay is sent.
std::string withoutPadding(const char *text) {
  std::string sequence;
  for (const char *at = text; *at != '\0'; ++at) {
    if (at[0] == '$' && at[1] == '<') {
      const char *end = at + 2;
      while (*end != '\0' && *end != '>')
        ++end;
      if (*end == '>') {
        at = end;
        continue;
      }
    }
    sequence += *at;
  }
  return sequence;
}

// The capability's string as the entry has it; empty when it has none.
std::string stringOf(const char *name) {
  const char *text = tigetstr(name);
  return text == nullptr || text == reinterpret_cast<const char *>(-1) ? std::string() : text;
}

// A capability that takes numbers, each sequence worked out once: the renderer asks often.
template <typename... Numbers>
std::function<std::string(Numbers...)> withNumbers(const std::string &format) {
  if (format.empty())
    return {};
  auto made = std::make_shared<std::map<std::pair<int, int>, std::string>>();
  return [format, made](Numbers... numbers) {
    const int given[] = {static_cast<int>(numbers)..., 0};
    const std::pair<int, int> key{given[0], sizeof...(numbers) > 1 ? given[1] : 0};
    const auto found = made->find(key);
    if (found != made->end())
      return found->second;
    const char *text = tiparm(format.c_str(), static_cast<int>(numbers)...);
    return (*made)[key] = text == nullptr ? std::string() : withoutPadding(text);
  };
}

} // namespace

std::optional<Capabilities> terminfoCapabilities(const std::string &term) {
  int found = 0;
  if (term.empty() || setupterm(term.c_str(), STDOUT_FILENO, &found) != 0 || found != 1)
    return std::nullopt;
  const auto plain = [](const char *name) { return withoutPadding(stringOf(name).c_str()); };
  Capabilities entry;
  entry.cursorAddress = withNumbers<int, int>(stringOf("cup"));
  entry.columnAddress = withNumbers<int>(stringOf("hpa"));
  entry.rowAddress = withNumbers<int>(stringOf("vpa"));
  entry.forward = withNumbers<int>(stringOf("cuf"));
  entry.back = withNumbers<int>(stringOf("cub"));
  entry.down = withNumbers<int>(stringOf("cud"));
  entry.up = withNumbers<int>(stringOf("cuu"));
  entry.forward1 = plain("cuf1");
  entry.back1 = plain("cub1");
  entry.down1 = plain("cud1");
  entry.up1 = plain("cuu1");
  entry.carriageReturn = plain("cr");
  entry.scrollForward = plain("ind");
  entry.home = plain("home");
  entry.clearScreen = plain("clear");
  entry.eraseToLineEnd = plain("el");
  entry.eraseToScreenEnd = plain("ed");
  entry.eraseCharacters = withNumbers<int>(stringOf("ech"));
  entry.repeat = withNumbers<char, int>(stringOf("rep"));
  entry.foreground = withNumbers<int>(stringOf("setaf"));
  entry.colours = entry.foreground ? std::max(tigetnum("colors"), 0) : 0;
  entry.bold = plain("bold");
  entry.resetAttributes = plain("sgr0");
  entry.defaultColours = plain("op");
  entry.bell = plain("bel");
  // Mouse reports as xterm's entry asks for them (XM); a terminal whose entry says only that it
  // sends them (kmous), as tmux's and GNU screen's do, is asked the same way.
  std::string mouse = stringOf("XM");
  if (mouse.empty() && !stringOf("kmous").empty())
    mouse = "\x1b[?1006;1000%?%p1%{1}%=%th%el%;";
  if (const auto toggle = withNumbers<int>(mouse)) {
    entry.mouseOn = toggle(1);
    entry.mouseOff = toggle(0);
  }
  // Everything is copied out: the entry itself is needed no more (tiparm needs none).
  del_curterm(set_curterm(nullptr));
  return entry;
}
