#include "backup/backup_store.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>
#include <mutex>
#include <optional>

namespace vantiro {
namespace {

constexpr std::size_t kFillerBytes = 99;
constexpr TextView kLineBreak = U"\r\n";

// Decimal digits after trimming spaces; nothing for anything else or for a
// value that does not fit. Index lines are read as text or, where only their
// numbers matter, as the bytes they are stored as (digits and spaces are the
// same single bytes in every code page in use).
template <typename Char>
std::optional<std::uint64_t> parseDecimal(std::basic_string_view<Char> text) {
  while (!text.empty() && text.front() == Char(' ')) text.remove_prefix(1);
  while (!text.empty() && text.back() == Char(' ')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (Char c : text) {
    if (c < Char('0') || c > Char('9')) return std::nullopt;
    auto digit = static_cast<std::uint64_t>(c - Char('0'));
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

// A path line holds the file system's bytes of the path. The markers a run
// appends to the path of a page it did not write stay in the code page, as
// the index has always held them, so older indexes keep being understood.
constexpr std::array<TextView, 2> kIndexMarkers{U"|文件错误!", U"|文件错误"};

std::string indexPathBytes(TextView path) {
  for (TextView marker : kIndexMarkers)
    if (path.ends_with(marker)) return nativePath(path.substr(0, path.size() - marker.size())) + encodeAnsi(marker);
  return nativePath(path);
}

Text indexPathText(std::string_view bytes) {
  for (TextView marker : kIndexMarkers) {
    const std::string markerBytes = encodeAnsi(marker);
    if (bytes.ends_with(markerBytes)) return textPath(bytes.substr(0, bytes.size() - markerBytes.size())) + Text(marker);
  }
  return textPath(bytes);
}

// The index as this process left it after its last append: a whole entry
// ends it. Found again at that size, it needs no reading, which spares a run
// from reading the whole index once for every page.
class IndexLeft {
 public:
  bool matches(const std::string& indexPath, std::uint64_t size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return known_ && size == size_ && indexPath == path_;
  }
  void record(const std::string& indexPath, std::uint64_t size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    known_ = true;
    path_ = indexPath;
    size_ = size;
  }

 private:
  std::mutex mutex_;
  bool known_ = false;
  std::string path_;
  std::uint64_t size_ = 0;
};

IndexLeft& indexLeft() {
  static IndexLeft left;
  return left;
}

bool lastAppendLeft(const std::string& indexPath, std::uint64_t size) { return indexLeft().matches(indexPath, size); }

// What SyncBackupStore has still to make durable.
class Unsynced {
 public:
  void appended() {
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_ = true;
  }
  void sync() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!pending_) return;
    // A file a failed append never created, or that was cleared since, holds nothing to keep.
    for (const std::string& path : {backupDataPath(), backupIndexPath()})
      if (pathExists(path)) files().syncFile(path);
    if (!directorySynced_ || syncedDirectory_ != programDirectory()) {
      files().syncFile(programDirectory());
      syncedDirectory_ = programDirectory();
      directorySynced_ = true;
    }
    pending_ = false;
  }

 private:
  std::mutex mutex_;
  bool pending_ = false;
  bool directorySynced_ = false;
  std::string syncedDirectory_;
};

Unsynced& unsynced() {
  static Unsynced state;
  return state;
}

// The index as stored, line by line. The code pages in use never put the
// bytes CR or LF inside a character, so lines split on the bytes are the
// lines ReadBackupIndex splits on the text.
struct IndexLine {
  std::string_view bytes;
  bool terminated = false;  // its CR LF was written
};

std::vector<IndexLine> indexLines(std::string_view index) {
  std::vector<IndexLine> lines;
  for (std::size_t pos = 0; pos < index.size();) {
    const std::size_t end = index.find("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back({index.substr(pos), false});
      break;
    }
    lines.push_back({index.substr(pos, end - pos), true});
    pos = end + 2;
  }
  return lines;
}

struct AlignedIndex {
  std::string padding;     // the lines to write before the new entry's
  std::uint64_t size = 0;  // the index size to cut back to should the append fail
};

// Readies the index for the lines of a new entry: a last line without its
// line break is the rest of an append that was cut short and is cut off (its
// number could be missing digits), and a last entry with missing lines gets
// empty ones, so that the new entry's four lines are read as one entry.
AlignedIndex alignIndex(const std::string& indexPath) {
  AlignedIndex aligned;
  const std::optional<FileInfo> info = files().stat(indexPath);
  if (!info || info->kind != EntryKind::File) return aligned;
  if (lastAppendLeft(indexPath, info->size)) {
    aligned.size = info->size;
    return aligned;
  }
  const std::string index = files().readFile(indexPath);
  const std::vector<IndexLine> lines = indexLines(index);
  std::size_t complete = lines.size();
  if (!lines.empty() && !lines.back().terminated) {
    --complete;
    aligned.size = index.size() - lines.back().bytes.size();
    files().truncateFile(indexPath, aligned.size);
  } else {
    aligned.size = index.size();
  }
  for (std::size_t n = complete; n % 4 != 0; ++n) aligned.padding += "\r\n";
  return aligned;
}

constexpr std::string_view kSavedMark = "VANTIRO-SAVED ";

// The filler of an entry: what the saved file was, when known, padded.
std::string fillerBytes(BackupFiller filler, const std::optional<FileInfo>& savedFrom) {
  std::string bytes;
  if (savedFrom) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(savedFrom->mode & 07777));
    bytes.append(kSavedMark);
    bytes += std::to_string(static_cast<std::int64_t>(savedFrom->modified)) + ' ' +
             std::to_string(savedFrom->modifiedNanoseconds) + ' ' + mode;
  }
  bytes.resize(kFillerBytes, filler == BackupFiller::Spaces ? ' ' : '\0');
  return bytes;
}

struct SavedFile {
  FileTime modified;
  std::uint32_t mode = 0;
};

// What a filler says of the saved file; nothing for a filler of spaces or
// zeros, as older programs wrote, or one that does not read as written.
std::optional<SavedFile> savedFile(std::string_view filler) {
  if (!filler.starts_with(kSavedMark)) return std::nullopt;
  filler.remove_prefix(kSavedMark.size());
  std::int64_t numbers[3] = {};
  for (int k = 0; k < 3; ++k) {
    const auto [end, error] = std::from_chars(filler.data(), filler.data() + filler.size(), numbers[k], k == 2 ? 8 : 10);
    if (error != std::errc() || (k < 2 && (end == filler.data() + filler.size() || *end != ' '))) return std::nullopt;
    filler.remove_prefix(static_cast<std::size_t>(end - filler.data()) + (k < 2 ? 1 : 0));
  }
  if (numbers[1] < 0 || numbers[1] >= 1000000000 || numbers[2] < 0 || numbers[2] > 07777) return std::nullopt;
  return SavedFile{{numbers[0], numbers[1]}, static_cast<std::uint32_t>(numbers[2])};
}

// Where a restore may write: an absolute path naming a regular file or
// nothing. A relative path is an index read out of step; a device, pipe or
// socket would be replaced by a file, or block the program.
void checkRestoreTarget(const std::string& target) {
  if (!target.starts_with('/')) throw FileError("备份中的路径不是绝对路径 " + target);
  const std::optional<FileInfo> info = files().stat(target);
  if (info && info->kind != EntryKind::File) throw FileError("不是文件 " + target);
}

// Reads and writes the saved bytes, throwing FileError with the reason.
void restoreBytes(const BackupEntry& entry, const BackupIndexChecks* checks) {
  if (hasResultMarker(entry.path)) throw FileError("此备份的页面没有写出");
  const std::string target = nativePath(entry.path);
  checkRestoreTarget(target);
  auto length = parseDecimal(TextView(entry.length));
  auto start = parseDecimal(TextView(entry.start));
  if (!length || !start || *start == 0) throw FileError("备份索引有误");
  auto data = files().stat(backupDataPath());
  if (!data || data->kind != EntryKind::File) throw FileError("备份数据文件不在");
  std::uint64_t offset = *start - 1;
  if (offset > data->size || *length > data->size - offset) throw FileError("备份数据不完整");
  if (checks != nullptr)
    checks->check(entry, *start, *length);
  else
    BackupIndexChecks::read().check(entry, *start, *length);
  // The filler before the bytes, read with them.
  const std::uint64_t fillerLength = std::min<std::uint64_t>(offset, kFillerBytes);
  std::string bytes = files().readRange(backupDataPath(), offset - fillerLength, fillerLength + *length);
  const std::optional<SavedFile> saved = savedFile(std::string_view(bytes).substr(0, fillerLength));
  bytes.erase(0, fillerLength);
  StagedTraits traits;
  traits.newMode = saved ? saved->mode : 0600;
  if (saved) traits.modified = saved->modified;
  files().stageFile(target, bytes, traits)->place();
}

}  // namespace

std::string backupIndexPath() { return programDirectory() + "bak.kbq"; }
std::string backupDataPath() { return programDirectory() + "bak.dat"; }

void AppendBackupEntry(TextView path, std::string_view contentBytes, std::uint64_t length, BackupFiller filler,
                       const std::optional<FileInfo>& savedFrom) {
  if (path.find(kLineBreak) != npos) throw FileError("路径中有换行，无法备份");
  const std::string dataPath = backupDataPath();
  const std::string fillerPart = fillerBytes(filler, savedFrom);

  const std::string indexPath = backupIndexPath();
  const AlignedIndex index = alignIndex(indexPath);
  const std::uint64_t dataBefore = sizeIfPresent(dataPath);
  std::uint64_t dataLength = 0;
  unsynced().appended();
  try {
    dataLength = files().appendPieces(dataPath, fillerPart, contentBytes);
  } catch (const FileError&) {
    cutBack(dataPath, dataBefore);
    throw;
  }

  Text lines;
  lines.append(decimal(dataLength + kFillerBytes + 1)).append(kLineBreak);
  lines.append(decimal(length)).append(kLineBreak);
  lines.append(nowText()).append(kLineBreak);
  try {
    const std::string entry = index.padding + indexPathBytes(path) + "\r\n" + encodeAnsi(lines);
    indexLeft().record(indexPath, files().appendFile(indexPath, entry) + entry.size());
  } catch (const FileError&) {
    cutBack(indexPath, index.size);
    cutBack(dataPath, dataLength);
    throw;
  }
}

void SyncBackupStore() { unsynced().sync(); }

std::vector<BackupEntry> ReadBackupIndex(bool newestFirst) {
  const std::string indexPath = backupIndexPath();
  if (!isNormalFile(indexPath)) return {};
  const std::string index = files().readFile(indexPath);
  std::vector<Text> fields;
  for (const IndexLine& line : indexLines(index))  // a last line may lack its line break
    fields.push_back(fields.size() % 4 == 0 ? indexPathText(line.bytes) : decodeAnsi(line.bytes));

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

// An entry's key among the places: its path, start and length lines.
std::string placeKey(std::string_view path, std::uint64_t start, std::uint64_t length) {
  std::string key(path);
  key += '\n';
  key += std::to_string(start);
  key += '\n';
  key += std::to_string(length);
  return key;
}

// Refuses an entry whose bytes "bak.dat" no longer holds although its range
// is there: the data file only grows, so every entry written after this one
// must have found it at least as long as this entry's end. A later entry that
// starts lower was written after "bak.dat" had been cut short or deleted,
// over the bytes of this entry. Also refuses an entry whose start or length
// is the index's last line without its line break: the append that wrote it
// was cut short, so the number may be missing digits. An entry that is not
// in the index (a table read before the store was cleared) is refused: its
// range now holds other bytes.
BackupIndexChecks BackupIndexChecks::read() {
  BackupIndexChecks checks;
  const std::string indexPath = backupIndexPath();
  if (!isNormalFile(indexPath)) return checks;
  const std::string index = files().readFile(indexPath);
  const std::vector<IndexLine> lines = indexLines(index);
  auto line = [&](std::size_t n) { return n < lines.size() ? lines[n] : IndexLine{}; };
  // From the last entry back, so that each entry knows the lowest start
  // written after it and the last entry with a key is the one kept.
  std::optional<std::uint64_t> lowestLater;
  const std::size_t entries = (lines.size() + 3) / 4;
  for (std::size_t k = entries; k-- > 0;) {
    const std::size_t first = 4 * k;
    const auto start = parseDecimal(line(first + 1).bytes);
    const auto length = parseDecimal(line(first + 2).bytes);
    if (start && length)
      checks.places_.try_emplace(placeKey(line(first).bytes, *start, *length),
                                 Place{line(first + 1).terminated && line(first + 2).terminated, lowestLater});
    // A start cut short says nothing about what the data file held.
    if (start && line(first + 1).terminated && (!lowestLater || *start < *lowestLater)) lowestLater = start;
  }
  return checks;
}

void BackupIndexChecks::check(const BackupEntry& entry, std::uint64_t start, std::uint64_t length) const {
  const auto place = places_.find(placeKey(indexPathBytes(entry.path), start, length));
  if (place == places_.end()) throw FileError("备份已改变，此项已不在备份中");
  if (!place->second.whole) throw FileError("备份索引不完整");
  if (length == 0) return;
  const std::uint64_t end = start + length - 1;  // the entry's last byte, 1-based
  const std::optional<std::uint64_t> later = place->second.lowestLaterStart;
  if (later && *later < end + kFillerBytes + 1) throw FileError("备份数据已被覆盖");
}

std::optional<CalendarDay> leadingDay(TextView text) {
  int parts[3] = {};
  std::size_t at = 0;
  for (int k = 0; k < 3; ++k) {
    if (k > 0 && (at >= text.size() || (text[at] != U'-' && text[at] != U'/'))) return std::nullopt;
    if (k > 0) ++at;
    const std::size_t first = at;
    for (; at < text.size() && text[at] >= U'0' && text[at] <= U'9' && at - first < 4; ++at)
      parts[k] = parts[k] * 10 + static_cast<int>(text[at] - U'0');
    if (at == first) return std::nullopt;
  }
  if (parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31) return std::nullopt;
  return CalendarDay{parts[0], parts[1], parts[2]};
}

DroppedEntries DropBackupEntriesBefore(const CalendarDay& day) {
  DroppedEntries result;
  const std::string indexPath = backupIndexPath();
  if (!isNormalFile(indexPath)) return result;
  const std::string index = files().readFile(indexPath);
  const std::vector<IndexLine> lines = indexLines(index);
  struct Range {
    std::uint64_t offset, end;  // the filler's first byte and one past the content's last
  };
  const auto rangeOf = [&](std::size_t first) -> std::optional<Range> {
    const auto start = first + 2 < lines.size() ? parseDecimal(lines[first + 1].bytes) : std::nullopt;
    const auto length = first + 2 < lines.size() ? parseDecimal(lines[first + 2].bytes) : std::nullopt;
    if (!start || !length || *start <= kFillerBytes) return std::nullopt;
    return Range{*start - 1 - kFillerBytes, *start - 1 + *length};
  };
  std::string kept;
  std::vector<Range> freed, held;
  for (std::size_t first = 0; first < lines.size(); first += 4) {
    const std::optional<CalendarDay> made =
        first + 3 < lines.size() ? leadingDay(decodeAnsi(lines[first + 3].bytes)) : std::nullopt;
    const std::optional<Range> range = rangeOf(first);
    if (made && *made < day) {
      ++result.dropped;
      if (range) freed.push_back(*range);
      continue;
    }
    ++result.kept;
    if (range) held.push_back(*range);
    for (std::size_t n = first; n < first + 4 && n < lines.size(); ++n) {
      kept.append(lines[n].bytes);
      if (lines[n].terminated) kept += "\r\n";
    }
  }
  if (result.dropped == 0) return result;
  if (result.kept == 0) {
    ClearBackupStore();
    return result;
  }
  files().writeFileAtomic(indexPath, kept);
  files().syncFile(indexPath);
  files().syncFile(programDirectory());
  // Bytes a kept entry also covers (entries of a damaged index may overlap)
  // stay: held ranges by start, with the furthest end reached so far.
  if (!pathExists(backupDataPath())) return result;
  std::sort(held.begin(), held.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
  std::vector<std::uint64_t> furthestEnd(held.size());
  for (std::size_t k = 0; k < held.size(); ++k) furthestEnd[k] = std::max(held[k].end, k ? furthestEnd[k - 1] : 0);
  for (const Range& range : freed) {
    const auto later = std::lower_bound(held.begin(), held.end(), range.end,
                                        [](const Range& r, std::uint64_t end) { return r.offset < end; });
    const auto before = static_cast<std::size_t>(later - held.begin());
    if (before > 0 && furthestEnd[before - 1] > range.offset) continue;
    files().freeRange(backupDataPath(), range.offset, range.end - range.offset);
  }
  return result;
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

bool restoreEntry(const BackupEntry& entry, RestoreObserver& observer, const BackupIndexChecks* checks) {
  observer.showStatus(restoringText(entry));
  bool restored = true;
  try {
    restoreBytes(entry, checks);
  } catch (const std::exception&) {
    restored = false;
  }
  observer.showStatus(restored ? restoredText(entry) : restoreFailedText(entry));
  return restored;
}

void removeRestoreLeftovers(const std::vector<BackupEntry>& entries) {
  std::vector<std::string> written;
  written.reserve(entries.size());
  for (const BackupEntry& entry : entries)
    if (!hasResultMarker(entry.path)) written.push_back(nativePath(entry.path));
  removeLeftoverTemporaries(written, std::time(nullptr));
}

}  // namespace vantiro
