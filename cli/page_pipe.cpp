#include "cli/cli_language.h"
#include "cli/commands.h"
#include "cli/output_format.h"
#include "compress/compression_run.h"
#include "compress/failure_reasons.h"

#include <ostream>
#include <istream>

namespace vantiro::cli {
namespace {

// Everything `in` holds, read in large blocks (character by character, a
// stream tied to the C library would read a byte per call).
std::string readAll(std::istream& in) {
  std::string bytes;
  constexpr std::size_t kBlock = 1 << 16;
  for (;;) {
    const std::size_t had = bytes.size();
    bytes.resize(had + kBlock);
    in.read(bytes.data() + had, static_cast<std::streamsize>(kBlock));
    bytes.resize(had + static_cast<std::size_t>(in.gcount()));
    if (!in) return bytes;
  }
}

}  // namespace

int compressPipe(const CompressArguments& args, std::istream& in, std::ostream& out, std::ostream& err) {
  const CompressionOptions options = compressionOptions(args);
  std::string bytes = readAll(in);
  if (in.bad()) {
    err << toUtf8(rowWord(kResultFailed)) << say(": 无法读取标准输入\n", ": cannot read standard input\n");
    return kExitFailure;
  }
  NoProgress noProgress;
  PreparedPage page = preparePageBytes(std::move(bytes), options, &noProgress);
  // A run leaves a file without <html> alone, as it may be no page at all; what
  // comes through a pipe is HTML by the user's word, fragments included (only
  // --require-html asks for the tag).
  page.notHtml = false;
  // The outcome as a run would report it, of a page named "-" that is not written.
  const Text name = U"-";
  FixedAnswer nothingAsked(false);
  const PageOutcome outcome = commitPage(page, name, options, noProgress, nothingAsked, WriteMode::DryRun);
  if (outcome.succeeded) {
    out.write(page.result.data(), static_cast<std::streamsize>(page.result.size()));
    out.flush();
    return kExitSuccess;
  }
  err << toUtf8(rowWord(kResultFailed)) << ": " << lineField(explainFailure(TextView(outcome.path).substr(name.size() + 1))) << '\n';
  if (options.offerRestoreAfterError && page.bytes) {
    out.write(page.bytes->data(), static_cast<std::streamsize>(page.bytes->size()));
    out.flush();
  }
  return kExitFailure;
}

}  // namespace vantiro::cli
