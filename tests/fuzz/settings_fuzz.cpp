// The settings reader on any "peizi.dll": it reads without crashing, and a
// value written afterwards reads back.
#include "common/settings_store.h"
#include "platform/file_service.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantiro;
  const std::string& dir = fuzz::programDir();
  files().writeFileAtomic(dir + "peizi.dll", std::string_view(reinterpret_cast<const char*>(data), size));
  ReadSetting(U"check1");
  ReadSetting(U"form6.check1.value");
  WriteSetting(U"text1.text", U"/站点/web");
  fuzz::require(ReadSetting(U"text1.text") == U"/站点/web", "a written setting reads back");
  WriteSetting(U"check1", U"1");
  fuzz::require(ReadSetting(U"text1.text") == U"/站点/web", "writing one key keeps another");
  return 0;
}
