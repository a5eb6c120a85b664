#pragma once
// vantiro-cli: the headless front end over the core (compress, backups, restore).

#include <iosfwd>

namespace vantiro::cli {

// Parses the arguments and runs the command. A page given as "-" is read
// from `in`. Output goes to `out` in UTF-8, messages and reasons to `err`;
// `terminalProgress` shows the status line of a run on `err`. Returns the
// exit status: 0 success, 1 a page or entry failed, 2 bad usage.
int runVantiroCli(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err,
                  bool terminalProgress);

}  // namespace vantiro::cli
