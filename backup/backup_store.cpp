#include "backup/backup_store.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <limits>
#include <optional>

namespace vantiro {
namespace {

constexpr std::size_t kFillerBytes = 99;
constexpr TextView kLineBreak = U"\r\n";

// Decimal digits after trimming spaces; nothing for anything else or for a
// value that does not fit.
std::optional<std::uint64_t> parseDecimal(TextView text) {
  Text digits = trimSpaces(text);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char32_t c : digits) {
    if (c < U'0' || c > U'9') return std::nullopt;
    auto digit = static_cast<std::uint64_t>(c - U'0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::uint64_t sizeIfPresent(const std::string& path) {
  auto info = files().stat(path);
  return info ? info->size : 0;
}

// Undoes a partial append; the append's own failure is the one reported.
void cutBack(const std::string& path, std::uint64_t size) {
  try {
    if (pathExists(path)) files().truncateFile(path, size);
  } catch (const FileError&) {
  }
}

Text decimal(std::uint64_t value) { return fromUtf8(std::to_string(value)); }

// Reads and writes the saved bytes, throwing FileError with the reason.
void restoreBytes(const BackupEntry& entry) {
  if (hasResultMarker(entry.path)) throw FileError("此备份的页面没有写出");
  auto length = parseDecimal(entry.length);
  auto start = parseDecimal(entry.start);
  if (!length || !start || *start == 0) throw FileError("备份索引有误");
  auto data = files().stat(backupDataPath());
  if (!data || data->kind != EntryKind::File) throw FileError("备份数据文件不在");
  std::uint64_t offset = *start - 1;
  if (offset > data->size || *length > data->size - offset) throw FileError("备份数据不完整");
  std::string bytes = files().readRange(backupDataPath(), offset, *length);
  files().writeFileAtomic(nativePath(entry.path), bytes);
}

}  // namespace

std::string backupIndexPath() { return programDirectory() + "bak.kbq"; }
std::string backupDataPath() { return programDirectory() + "bak.dat"; }

void AppendBackupEntry(TextView path, std::string_view contentBytes, std::uint64_t length, BackupFiller filler) {
  if (path.find(kLineBreak) != npos) throw FileError("路径中有换行，无法备份");
  const std::string dataPath = backupDataPath();
  std::string data;
  data.reserve(kFillerBytes + contentBytes.size());
  data.append(kFillerBytes, filler == BackupFiller::Spaces ? ' ' : '\0');
  data.append(contentBytes);

  const std::string indexPath = backupIndexPath();
  const std::uint64_t dataBefore = sizeIfPresent(dataPath);
  const std::uint64_t indexBefore = sizeIfPresent(indexPath);
  std::uint64_t dataLength = 0;
  try {
    dataLength = files().appendFile(dataPath, data);
  } catch (const FileError&) {
    cutBack(dataPath, dataBefore);
    throw;
  }

  Text lines;
  lines.append(path).append(kLineBreak);
  lines.append(decimal(dataLength + kFillerBytes + 1)).append(kLineBreak);
  lines.append(decimal(length)).append(kLineBreak);
  lines.append(nowText()).append(kLineBreak);
  try {
    files().appendFile(indexPath, encodeAnsi(lines));
  } catch (const FileError&) {
    cutBack(indexPath, indexBefore);
    cutBack(dataPath, dataLength);
    throw;
  }
}

std::vector<BackupEntry> ReadBackupIndex(bool newestFirst) {
  const std::string indexPath = backupIndexPath();
  if (!isNormalFile(indexPath)) return {};
  Text index = decodeAnsi(files().readFile(indexPath));

  std::vector<Text> fields;
  for (std::size_t pos = 0; pos < index.size();) {
    std::size_t end = index.find(kLineBreak, pos);
    if (end == npos) {
      fields.emplace_back(index.substr(pos));  // a last line without its line break
      break;
    }
    fields.emplace_back(index.substr(pos, end - pos));
    pos = end + kLineBreak.size();
  }

  // Lines / 4 rounded half up, as the store has always counted: 9 lines are
  // two entries, 10 lines three.
  std::size_t count = (fields.size() + 2) / 4;
  fields.resize(count * 4);
  std::vector<BackupEntry> entries(count);
  for (std::size_t k = 0; k < count; ++k) {
    BackupEntry& e = entries[newestFirst ? count - 1 - k : k];
    e.path = std::move(fields[4 * k]);
    e.start = std::move(fields[4 * k + 1]);
    e.length = std::move(fields[4 * k + 2]);
    e.time = std::move(fields[4 * k + 3]);
  }
  return entries;
}

void ClearBackupStore() {
  for (const std::string& path : {backupIndexPath(), backupDataPath()})
    if (pathExists(path)) files().removeFile(path);
}

Text restoringText(const BackupEntry& entry) {
  return U"正在还原  " + entry.path + U"文件，大小为" + entry.length + U"B .....";
}

Text restoredText(const BackupEntry& entry) {
  return U"成功还原  " + entry.path + U"文件，大小为" + entry.length + U"B   OK!!";
}

Text restoreFailedText(const BackupEntry& entry) { return U"还原  " + entry.path + U"失败！"; }

bool hasResultMarker(TextView path) {
  if (path.ends_with(U"!")) path.remove_suffix(1);
  return path.ends_with(U"|文件错误");
}

bool re(const BackupEntry& entry, RestoreObserver& observer) {
  observer.showStatus(restoringText(entry));
  pauseMilliseconds(100);
  bool restored = true;
  try {
    restoreBytes(entry);
  } catch (const std::exception&) {
    restored = false;
  }
  observer.showStatus(restored ? restoredText(entry) : restoreFailedText(entry));
  pauseMilliseconds(100);
  return restored;
}

}  // namespace vantiro
