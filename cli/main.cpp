#include "cli/cli_app.h"
#include "platform/memory.h"
#include "platform/system.h"

#include <unistd.h>

#include <iostream>

int main(int argc, char** argv) {
  vantiro::keepFreedMemoryForReuse();
  vantiro::ignoreBrokenPipes();
  return vantiro::cli::runVantiroCli(argc, argv, std::cin, std::cout, std::cerr,
                                         {::isatty(STDERR_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1},
                                         vantiro::cli::languageOfEnvironment());
}
