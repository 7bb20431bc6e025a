// What the game answers on its command line, before the console is opened.
#pragma once

#include <optional>

// Empty when the game is to be played: with no arguments, or with --plain alone, which sets
// `plain`. Otherwise the exit status, the answer already written: 0 after --help, -h or
// --version; 2, with the usage on standard error, for anything else; 1 when the answer could not
// be written.
std::optional<int> answerCommandLine(int argc, char **argv, bool &plain);
