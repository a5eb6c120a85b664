// The backup index reader on any "bak.kbq": it reads, both orders hold the
// same entries, and an entry appended afterwards is the last one read.
#include "backup/backup_store.h"
#include "platform/file_service.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantiro;
  const std::string& dir = fuzz::programDir();
  files().writeFileAtomic(dir + "bak.kbq", std::string_view(reinterpret_cast<const char*>(data), size));
  if (pathExists(dir + "bak.dat")) files().removeFile(dir + "bak.dat");
  auto oldest = ReadBackupIndex(false);
  auto newest = ReadBackupIndex(true);
  fuzz::require(oldest.size() == newest.size(), "both orders hold every entry");
  std::reverse(newest.begin(), newest.end());
  for (std::size_t k = 0; k < oldest.size(); ++k)
    fuzz::require(oldest[k].path == newest[k].path && oldest[k].start == newest[k].start,
                  "newest first is the reverse order");
  // A store whose index ends in a complete line takes a new entry cleanly.
  if (size == 0 || (size >= 2 && data[size - 2] == '\r' && data[size - 1] == '\n')) {
    const std::size_t lines = oldest.size();
    AppendBackupEntry(U"/页/a.htm", "abc", 3, BackupFiller::Spaces);
    auto after = ReadBackupIndex(true);
    std::size_t lineBreaks = 0;
    for (std::size_t i = 0; i + 1 < size; ++i)
      if (data[i] == '\r' && data[i + 1] == '\n') ++lineBreaks, ++i;
    if (lines * 4 == lineBreaks) {
      fuzz::require(!after.empty() && after[0].path == U"/页/a.htm" && after[0].length == U"3",
                    "an appended entry is the newest");
      fuzz::require(after[0].start == U"100", "the first entry of a new data file starts at 100");
    }
  }
  return 0;
}
