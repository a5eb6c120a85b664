// The list readers (saved, default, foreign) on any file: they read or report
// a format error, and what a saved list holds writes and reads back exactly.
#include "lists/task_list_files.h"
#include "platform/file_service.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantiro;
  const std::string& dir = fuzz::programDir();
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  files().writeFileAtomic(dir + "1.lst", bytes);
  files().writeFileAtomic(dir + "moren.kbq", bytes);
  std::vector<Text> entries;
  try {
    entries = ReadListEntries(dir + "1.lst");
  } catch (const FileError&) {
    entries.clear();
  }
  try {
    ReadForeignListEntries(dir + "1.lst");
  } catch (const FileError&) {
  }
  LoadDefaultList();
  ListSavedListFiles();

  std::vector<Text> kept;
  for (auto& e : entries)
    if (e.find(U"\r\n") == npos && !(e.ends_with(U"\r"))) kept.push_back(e);
  files().removeFile(dir + "1.lst");
  WriteSavedList(dir + "2.lst", U"名称", kept);
  auto back = ReadListEntries(dir + "2.lst");
  fuzz::require(back == kept, "a saved list reads back as written");
  files().removeFile(dir + "2.lst");
  return 0;
}
