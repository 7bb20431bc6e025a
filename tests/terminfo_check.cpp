// Checks a terminal's byte stream against what its terminfo entry can say, read straight from
// libtinfo, apart from the game's own reading of it. In a unit of its own: term.h's macros
// (lines, columns, bell) would clash with the rest of the tests.
#include "terminfo_check.hpp"

#include <algorithm>
#include <term.h>
#include <unistd.h>
#include <unordered_set>

namespace {

// Every sequence a capability says, for numbers up to this: more than the game's screen has
// rows, columns, colours and characters to repeat.
constexpr int largest = 128;

std::string withoutPadding(const std::string &text) {
  std::string sequence;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const std::size_t end = text.find('>', at);
    if (text.compare(at, 2, "$<") == 0 && end != std::string::npos)
      at = end;
    else
      sequence += text[at];
  }
  return sequence;
}

bool isControl(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

} // namespace

std::string sequencesNotFrom(const std::string &term, const std::string &bytes,
                             const std::vector<std::string> &alsoAllowed) {
  int found = 0;
  if (setupterm(term.c_str(), STDOUT_FILENO, &found) != 0 || found != 1)
    return "no terminfo entry for " + term;
  std::unordered_set<std::string> allowed(alsoAllowed.begin(), alsoAllowed.end());
  const auto allow = [&](const std::string &sequence) {
    allowed.insert(sequence);
    // A sequence that starts with the character it repeats (rep) is met at its first control.
    if (!sequence.empty() && !isControl(sequence[0]))
      allowed.insert(sequence.substr(1));
  };
  std::vector<const char *> names;
  // Not the keys': the game sends none of those.
  for (int i = 0; strnames[i] != nullptr; ++i)
    if (strnames[i][0] != 'k')
      names.push_back(strnames[i]);
  names.push_back("XM"); // xterm's own for mouse reports
  const auto stringOf = [](const char *name) {
    const char *value = tigetstr(name);
    return value == nullptr || value == reinterpret_cast<const char *>(-1) ? std::string() : value;
  };
  for (const char *name : names) {
    std::string format = stringOf(name);
    // An entry that says only that the terminal reports the mouse (kmous) is asked as xterm's.
    if (format.empty() && name == std::string("XM") && !stringOf("kmous").empty())
      format = "\x1b[?1006;1000%?%p1%{1}%=%th%el%;";
    if (format.empty())
      continue;
    if (format.find("%p") == std::string::npos) {
      allow(withoutPadding(format));
      continue;
    }
    const bool two = format.find("%p2") != std::string::npos;
    for (int first = 0; first < largest; ++first)
      for (int second = 0; second < (two ? largest : 1); ++second)
        if (const char *said = tiparm(format.c_str(), first, second))
          allow(withoutPadding(said));
  }
  del_curterm(set_curterm(nullptr));
  std::size_t longest = 0;
  for (const std::string &sequence : allowed)
    longest = std::max(longest, sequence.size());

  std::string wrong;
  for (std::size_t at = 0; at < bytes.size();) {
    if (bytes[at] != '\x1b' && !isControl(bytes[at])) {
      ++at;
      continue;
    }
    std::size_t length = std::min(longest, bytes.size() - at);
    while (length > 0 && allowed.count(bytes.substr(at, length)) == 0)
      --length;
    if (length == 0) {
      wrong += testingName(bytes.substr(at, 12)) + '\n';
      ++at;
    } else {
      at += length;
    }
  }
  return wrong;
}

std::string testingName(const std::string &bytes) {
  std::string shown;
  for (const char c : bytes)
    shown += c == '\x1b'    ? std::string("\\E")
             : isControl(c) ? "^" + std::string(1, static_cast<char>(c ^ 0x40))
                            : std::string(1, c);
  return shown;
}
