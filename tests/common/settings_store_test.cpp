#include "common/settings_store.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/faulty_file_service.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>

namespace vantiro {
namespace {

// A field as the file holds it: the bytes, padded with blanks to 100.
std::string field(std::string bytes) {
  bytes.resize(kSettingFieldBytes, ' ');
  return bytes;
}

std::string zeros(std::size_t n) { return std::string(n, '\0'); }

// The file a sequence of first writes of distinct keys produces.
std::string fileWithSlots(const std::vector<std::pair<std::string, std::string>>& slots) {
  std::string file = field(" " + std::to_string(slots.size() + 1)) + zeros(28) + zeros(256);
  for (const auto& [key, value] : slots) file += field(key) + zeros(28) + field(value) + zeros(28);
  file.resize(file.size() - 28);  // nothing is written after the last value field
  return file;
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override { setProgramDirectory(dir.path()); }
  void TearDown() override { setProgramDirectory(""); }

  std::string settingsBytes() const { return test::readBytes(dir / "peizi.dll"); }
  void setSettingsBytes(const std::string& bytes) const { test::writeBytes(dir / "peizi.dll", bytes); }
  static Text read(TextView key, TextView preset = U"preset") { return ReadSetting(key).value_or(Text(preset)); }

  test::TempDir dir;
};

TEST_F(SettingsStore, ReadingFromAMissingOrEmptyFileKeepsTheValueAndLeavesAnEmptyFile) {
  EXPECT_EQ(read(U"text1.text"), U"preset");
  EXPECT_EQ(settingsBytes(), "");
  EXPECT_EQ(read(U"check1", U""), U"");
  EXPECT_EQ(settingsBytes(), "");
}

TEST_F(SettingsStore, FirstKeyGivesTheSixHundredTwelveByteLayout) {
  WriteSetting(U"text1.text", U"C:/web");
  const std::string bytes = settingsBytes();
  ASSERT_EQ(bytes.size(), 612u);
  EXPECT_EQ(bytes.substr(0, 100), field(" 2"));
  EXPECT_EQ(bytes.substr(100, 284), zeros(284));
  EXPECT_EQ(bytes.substr(384, 100), field("text1.text"));
  EXPECT_EQ(bytes.substr(484, 28), zeros(28));
  EXPECT_EQ(bytes.substr(512, 100), field("C:/web"));
  EXPECT_EQ(read(U"text1.text"), U"C:/web");
}

TEST_F(SettingsStore, FurtherKeysAppendSlotsAndRaiseTheCount) {
  WriteSetting(U"check1", U"1");
  WriteSetting(U"check2", U"0");
  WriteSetting(U"dir", U"/home/用户/网站");
  EXPECT_EQ(settingsBytes(),
            fileWithSlots({{"check1", "1"}, {"check2", "0"}, {"dir", encodeAnsi(U"/home/用户/网站")}}));
  EXPECT_EQ(settingsBytes().size(), 356u + 256u * 3);
  EXPECT_EQ(read(U"check2"), U"0");
  EXPECT_EQ(read(U"dir"), U"/home/用户/网站");
}

TEST_F(SettingsStore, UpdatingAKeyChangesOnlyItsValueField) {
  WriteSetting(U"check1", U"1");
  WriteSetting(U"form5.Option1.Value", U"ture");
  WriteSetting(U"check3", U"0");
  const std::string before = settingsBytes();
  WriteSetting(U"form5.Option1.Value", U"false");
  const std::string after = settingsBytes();
  ASSERT_EQ(after.size(), before.size());
  const std::size_t valueAt = 256 + 256 * 2;
  EXPECT_EQ(after.substr(0, valueAt), before.substr(0, valueAt));
  EXPECT_EQ(after.substr(valueAt, 100), field("false"));
  EXPECT_EQ(after.substr(valueAt + 100), before.substr(valueAt + 100));
  EXPECT_EQ(read(U"form5.Option1.Value"), U"false");
}

TEST_F(SettingsStore, KeysAreComparedExactlyWithCase) {
  WriteSetting(U"check1", U"1");
  WriteSetting(U"Check1", U"0");
  EXPECT_EQ(settingsBytes().substr(0, 100), field(" 3"));
  EXPECT_EQ(read(U"check1"), U"1");
  EXPECT_EQ(read(U"Check1"), U"0");
  EXPECT_EQ(read(U"CHECK1"), U"preset");
  EXPECT_EQ(read(U" check1"), U"preset");  // the stored key is trimmed, the asked one is not
}

TEST_F(SettingsStore, ValuesAreTrimmedAndCutToTheirField) {
  struct Case {
    Text written;
    Text readBack;
    std::string fieldBytes;
  };
  const Text abc150 = Text(50, U'a') + Text(50, U'b') + Text(50, U'c');
  const Text han60(60, U'网');
  const Text oddHan = U"x" + han60;
  const Case cases[] = {
      {U"  two blanks  ", U"two blanks", field("  two blanks  ")},
      {U"", U"", field("")},
      {abc150, abc150.substr(0, 100), encodeAnsi(abc150.substr(0, 100))},
      // 60 double-byte characters: 50 fit exactly.
      {han60, Text(50, U'网'), encodeAnsi(Text(50, U'网'))},
      // One byte more in front: the 50th character would straddle the end, so
      // 49 are kept and one blank fills the field.
      {oddHan, U"x" + Text(49, U'网'), encodeAnsi(U"x" + Text(49, U'网')) + " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.written));
    WriteSetting(U"form5.text1.text", c.written);
    EXPECT_EQ(settingsBytes().substr(512, 100), c.fieldBytes);
    EXPECT_EQ(settingsBytes().size(), 612u);
    EXPECT_EQ(read(U"form5.text1.text"), c.readBack);
  }
}

TEST_F(SettingsStore, UndecodableBytesInAValueSurviveTheRoundTrip) {
  const Text odd = decodeAnsi(std::string("a\x81\xff\x80z", 5));
  WriteSetting(U"text2.text", odd);
  EXPECT_EQ(settingsBytes().substr(512, 5), std::string("a\x81\xff\x80z", 5));
  EXPECT_EQ(read(U"text2.text"), odd);
}

TEST_F(SettingsStore, TheFirstMatchingSlotWins) {
  setSettingsBytes(fileWithSlots({{"dir", "first"}, {"dir", "second"}}));
  EXPECT_EQ(read(U"dir"), U"first");
  WriteSetting(U"dir", U"new");
  EXPECT_EQ(settingsBytes(), fileWithSlots({{"dir", "new"}, {"dir", "second"}}));
}

// Damaged files are read as far as they go and written without blowing up.
TEST_F(SettingsStore, DamagedFilesAreHandledSoundly) {
  const std::string good = fileWithSlots({{"check1", "1"}, {"check2", "0"}});
  struct Case {
    const char* what;
    std::string file;
    Text check2;             // what reading "check2" gives (preset: not found)
    std::size_t newKeySlot;  // where a new key lands
  };
  std::string noCount = good;
  noCount.replace(0, 100, field("abc"));
  std::string negative = good;
  negative.replace(0, 100, field("-3"));
  std::string huge = good;
  huge.replace(0, 100, field("  99999999999999999999999999"));
  std::string small = good;
  small.replace(0, 100, field(" 2"));
  std::string decimal = good;
  decimal.replace(0, 100, field(" 3.9x"));
  const Case cases[] = {
      // No number: the count is 0, taken as 1, so only slot 0 is looked at and
      // the new key overwrites slot 1.
      {"garbage count", noCount, U"preset", 1},
      {"negative count", negative, U"preset", 1},
      // A count beyond the file is limited to the slots the file holds.
      {"huge count", huge, U"0", 3},
      {"count too small", small, U"preset", 2},
      {"count with decimals", decimal, U"0", 3},
      // Cut inside the value of slot 2: the part that is there is the value.
      {"cut in a value", good.substr(0, 256 + 512 + 3), U"0", 3},
      // Cut inside the key of slot 2: the key's first bytes still match.
      {"cut in a key", good.substr(0, 128 + 512 + 6), U"", 3},
      {"cut in the count", good.substr(0, 1), U"preset", 1},
      {"zero bytes only", zeros(700), U"preset", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setSettingsBytes(c.file);
    EXPECT_EQ(read(U"check2"), c.check2);
    WriteSetting(U"brand.new", U"v");
    const std::string after = settingsBytes();
    const std::size_t keyAt = 128 + 256 * c.newKeySlot;
    ASSERT_GE(after.size(), keyAt + 100);
    EXPECT_EQ(after.size(), std::max(c.file.size(), 356 + 256 * c.newKeySlot));
    EXPECT_EQ(after.substr(keyAt, 100), field("brand.new"));
    EXPECT_EQ(after.substr(0, 100), field(" " + std::to_string(c.newKeySlot + 1)));
    EXPECT_EQ(read(U"brand.new"), U"v");
  }
}

TEST_F(SettingsStore, RandomGarbageNeverCrashesAndStaysSmall) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 300; ++round) {
    std::string garbage(rng() % 1500, '\0');
    for (auto& b : garbage) b = static_cast<char>(rng() % 4 == 0 ? ' ' : rng() % 256);
    if (round % 3 == 0) garbage.replace(0, std::min<std::size_t>(garbage.size(), 12), " 4000000000");
    setSettingsBytes(garbage);
    (void)read(U"check1");
    WriteSetting(U"check1", U"1");
    EXPECT_EQ(read(U"check1"), U"1");
    EXPECT_LE(settingsBytes().size(), std::max<std::size_t>(garbage.size(), 1500) + 512);
  }
}

TEST_F(SettingsStore, FailedWritesLeaveTheFileWhole) {
  WriteSetting(U"check1", U"1");
  const std::string before = settingsBytes();
  {
    test::FaultyFileService faulty;
    faulty.bytesUntilFull = 100;
    ScopedFileService scope(faulty);
    EXPECT_THROW(WriteSetting(U"check1", U"0"), FileError);
    EXPECT_THROW(WriteSetting(U"check2", U"0"), FileError);
  }
  EXPECT_EQ(settingsBytes(), before);
  {
    test::FaultyFileService faulty;
    faulty.unreadable.insert(dir / "peizi.dll");
    ScopedFileService scope(faulty);
    EXPECT_THROW(ReadSetting(U"check1"), FileError);
  }
}

TEST_F(SettingsStore, AProgramDirectoryThatCannotBeWrittenIsReportedToTheCaller) {
  test::FaultyFileService faulty;
  faulty.unwritableDirectories.insert(dir.path());
  ScopedFileService scope(faulty);
  EXPECT_THROW(ReadSetting(U"dir"), FileError);
  EXPECT_THROW(WriteSetting(U"dir", U"x"), FileError);
  EXPECT_FALSE(pathExists(dir / "peizi.dll"));
}

}  // namespace
}  // namespace vantiro
