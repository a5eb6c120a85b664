#include "common/settings_store.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <string_view>

namespace vantiro {
namespace {

constexpr std::size_t kKeyBase = 128;
constexpr std::size_t kValueBase = 256;
constexpr std::size_t kSlotBytes = 256;
// Far above any count a real file reaches; only keeps the arithmetic bounded.
constexpr std::size_t kCountCeiling = 1'000'000'000;

std::size_t keyOffset(std::size_t slot) { return kKeyBase + kSlotBytes * slot; }
std::size_t valueOffset(std::size_t slot) { return kValueBase + kSlotBytes * slot; }

// The part of a field that lies inside the file: all 100 bytes, fewer when the
// file ends inside the field, none beyond its end.
std::string_view fieldBytes(const std::string& file, std::size_t offset) {
  if (offset >= file.size()) return {};
  return std::string_view(file).substr(offset, kSettingFieldBytes);
}

// How a field's text becomes bytes and back.
struct FieldCoding {
  Text (*decode)(std::string_view);
  std::string (*encode)(TextView);
};
const FieldCoding kCodePageField{decodeAnsi, encodeAnsi};
const FieldCoding kPathField{textPath, nativePath};

Text readField(const std::string& file, std::size_t offset, const FieldCoding& coding = kCodePageField) {
  return trimSpaces(coding.decode(fieldBytes(file, offset)));
}

// The leading decimal number of the count field, leading blanks skipped;
// anything else (an empty file, a sign, letters) counts as 0.
std::size_t readCount(const std::string& file) {
  std::string_view field = fieldBytes(file, 0);
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  std::size_t count = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
    count = std::min(kCountCeiling, count * 10 + static_cast<std::size_t>(field[i] - '0'));
  return count;
}

// The number of slots to scan. A count of 0 is taken as 1. A count that claims
// more slots than the file holds is limited to the slots whose key field
// starts inside the file: a damaged count then cannot make the next new key
// land megabytes or gigabytes beyond the end of a small file.
std::size_t slotCount(const std::string& file) {
  std::size_t count = std::max<std::size_t>(readCount(file), 1);
  std::size_t present = file.size() > kKeyBase ? (file.size() - kKeyBase - 1) / kSlotBytes + 1 : 0;
  return std::min(count, std::max<std::size_t>(present, 1));
}

// The text as a field: its bytes cut after the last whole character that fits
// into 100 bytes, then padded with blanks.
std::string fieldOf(TextView text, const FieldCoding& coding) {
  std::string out;
  for (char32_t c : text) {
    std::string bytes = coding.encode(TextView(&c, 1));
    if (out.size() + bytes.size() > kSettingFieldBytes) break;
    out += bytes;
  }
  out.resize(kSettingFieldBytes, ' ');
  return out;
}

// Writes a field at its offset, extending the file with zero bytes up to it.
void putField(std::string& file, std::size_t offset, TextView text, const FieldCoding& coding = kCodePageField) {
  if (file.size() < offset + kSettingFieldBytes) file.resize(offset + kSettingFieldBytes, '\0');
  file.replace(offset, kSettingFieldBytes, fieldOf(text, coding));
}

// The file's bytes; a missing file is created empty first.
std::string openSettings(const std::string& path) {
  if (!pathExists(path)) {
    files().writeFileAtomic(path, std::string_view());
    return std::string();
  }
  return files().readFile(path);
}

}  // namespace

std::string settingsFilePath() { return programDirectory() + "peizi.dll"; }

namespace {

void writeSetting(TextView key, TextView value, const FieldCoding& coding) {
  const std::string path = settingsFilePath();
  std::string file = openSettings(path);
  const std::size_t slots = slotCount(file);
  for (std::size_t k = 0; k < slots; ++k) {
    if (keyOffset(k) < file.size() && readField(file, keyOffset(k)) == key) {
      putField(file, valueOffset(k), value, coding);
      files().writeFileAtomic(path, file);
      return;
    }
  }
  // Value before key, as the file has always been laid out: the new slot's
  // key field is the last thing written.
  putField(file, 0, U" " + toText(static_cast<long long>(slots + 1)));
  putField(file, valueOffset(slots), value, coding);
  putField(file, keyOffset(slots), key);
  files().writeFileAtomic(path, file);
}

std::optional<Text> readSetting(TextView key, const FieldCoding& coding) {
  const std::string file = openSettings(settingsFilePath());
  const std::size_t slots = slotCount(file);
  for (std::size_t k = 0; k < slots; ++k)
    if (keyOffset(k) < file.size() && readField(file, keyOffset(k)) == key)
      return readField(file, valueOffset(k), coding);
  return std::nullopt;
}

}  // namespace

void WriteSetting(TextView key, TextView value) { writeSetting(key, value, kCodePageField); }
std::optional<Text> ReadSetting(TextView key) { return readSetting(key, kCodePageField); }
void WritePathSetting(TextView key, TextView path) { writeSetting(key, path, kPathField); }
std::optional<Text> ReadPathSetting(TextView key) { return readSetting(key, kPathField); }

}  // namespace vantiro
