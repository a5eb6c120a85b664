#pragma once
// The commands of vantiro-cli; each registers its options on its own
// subcommand and runs once the arguments are parsed.

#include "cli/cli_app.h"
#include "common/compression_options.h"
#include "platform/system.h"

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <string>
#include <vector>

namespace vantiro::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CompressArguments {
  std::vector<std::string> paths;
  std::vector<std::string> into;  // SRC DEST
  bool scripts = false;
  bool restoreOnError = false;
  bool requireHtml = false;
  bool paragraphs = false;
  bool readable = false;
  bool overwriteBackup = false;
  bool allFiles = false;
  bool pagesOnly = false;  // with --into: no other file is copied into DEST
  bool dryRun = false;
  bool byOption = false;
  bool json = false;
  bool quiet = false;
  int level = 1;
  std::size_t jobs = processorCores();  // pages compressed at once
};
CLI::App* addCompressCommand(CLI::App& app, CompressArguments& args);
CompressionOptions compressionOptions(const CompressArguments& args);
int runCompress(const CompressArguments& args, std::istream& in, std::ostream& out, std::ostream& err,
                Terminals terminals);

// The paths a command works on: the PATHs given, or with none the SRC of
// `into` (SRC DEST), the whole tree that is mirrored.
std::vector<std::string> queuedPaths(const std::vector<std::string>& paths, const std::vector<std::string>& into);

// Whether the page is read from standard input (`compress -`).
bool readsStandardInput(const CompressArguments& args);

// `compress -`: the page on `in` compressed to `out`.
int compressPipe(const CompressArguments& args, std::istream& in, std::ostream& out, std::ostream& err);

struct BackupsArguments {
  bool newestFirst = false;
  bool json = false;
  bool clear = false;
  std::string dropBefore;  // YYYY-MM-DD; empty when not given
};
// Whether the command changes the store, and so needs the program directory's lock.
inline bool changesStore(const BackupsArguments& args) { return args.clear || !args.dropBefore.empty(); }
CLI::App* addBackupsCommand(CLI::App& app, BackupsArguments& args);
int runBackups(const BackupsArguments& args, std::ostream& out, std::ostream& err);

struct RestoreArguments {
  bool newestFirst = false;
  bool all = false;
  std::vector<long long> rows;  // numbered from 1, as `backups` lists them
  bool json = false;
  bool quiet = false;
};
CLI::App* addRestoreCommand(CLI::App& app, RestoreArguments& args);
int runRestore(const RestoreArguments& args, std::ostream& out, std::ostream& err);

struct InfoArguments {
  std::vector<std::string> paths;
  bool json = false;
};
CLI::App* addInfoCommand(CLI::App& app, InfoArguments& args);
int runInfo(const InfoArguments& args, std::ostream& out, std::ostream& err);

}  // namespace vantiro::cli
