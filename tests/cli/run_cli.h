#pragma once
// Runs the command-line front end in the test's process, as a shell would.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"

namespace vantiro::test {

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

// vantiro-cli ARGS... with standard error not a terminal.
inline CliResult runCli(std::vector<std::string> args) {
  args.insert(args.begin(), "vantiro-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = cli::runVantiroCli(static_cast<int>(argv.size()), argv.data(), out, err, false);
  return {status, out.str(), err.str()};
}

}  // namespace vantiro::test
