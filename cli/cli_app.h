#pragma once
// vantiro-cli: the headless front end over the core (compress, backups, restore).

#include "cli/cli_language.h"

#include <iosfwd>

namespace vantiro::cli {

// Which of the program's output streams are terminals.
struct Terminals {
  bool err = false;  // the progress of a run is shown there
  bool out = false;  // rows are then printed above the progress
};

// Parses the arguments and runs the command. A page given as "-" is read
// from `in`. Output goes to `out` in UTF-8, messages and reasons to `err`;
// `terminals` says where a run shows its progress; help, usage errors and
// the words of plain rows are in `language`. Returns the exit status: 0
// success, 1 a page or entry failed, 2 bad usage.
int runVantiroCli(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err,
                  Terminals terminals, Language language);

}  // namespace vantiro::cli
