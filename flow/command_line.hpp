// What the game answers on its command line, before the console is opened.
#pragma once

#include <optional>

// Empty when there are no arguments: the game is to be played. Otherwise the exit status, the
// answer already written: 0 after --help, -h or --version; 2, with the usage on standard error,
// for anything else; 1 when the answer could not be written.
std::optional<int> answerCommandLine(int argc, char **argv);
