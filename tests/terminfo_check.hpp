// What in a terminal's byte stream its terminfo entry cannot say.
#pragma once

#include <string>
#include <vector>

// Every control sequence in `bytes` (from an escape or a control character on) that no
// capability of the entry `term` says for some numbers, nor `alsoAllowed` lists, a line each, as
// testingName shows it; empty when there is none.
std::string sequencesNotFrom(const std::string &term, const std::string &bytes,
                             const std::vector<std::string> &alsoAllowed);
// Bytes readable in a message: \E for escape, ^X for a control character.
std::string testingName(const std::string &bytes);
