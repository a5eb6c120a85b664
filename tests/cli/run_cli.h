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

// vantiro-cli ARGS... with standard error not a terminal, `input` on
// standard input and its texts in `language` (the tests' own: Chinese).
inline CliResult runCli(std::vector<std::string> args, const std::string& input = {},
                        cli::Language language = cli::Language::Chinese) {
  args.insert(args.begin(), "vantiro-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = cli::runVantiroCli(static_cast<int>(argv.size()), argv.data(), in, out, err, {}, language);
  return {status, out.str(), err.str()};
}

// `s` cut at every `separator`; a trailing separator leaves an empty last part.
inline std::vector<std::string> splitBy(const std::string& s, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t p; (p = s.find(separator, start)) != std::string::npos; start = p + 1)
    parts.push_back(s.substr(start, p - start));
  parts.push_back(s.substr(start));
  return parts;
}

}  // namespace vantiro::test
