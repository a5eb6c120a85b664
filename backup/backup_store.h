#pragma once
// The backup store: every page's content before the program changes it, kept
// in the program directory as the index "bak.kbq" and the data file "bak.dat".
//
// The index is text in the page code page, four CR LF lines per entry: path,
// start (1-based byte position in "bak.dat"), length, local time. An entry
// written when "bak.dat" is L bytes long occupies L+1..L+99 with filler and
// L+100.. with the content, so its start is L + 100. Positions are 64-bit and
// stay decimal text, so older stores read the same.
//
// The filler of an entry may begin with what the saved file was besides its
// bytes: "VANTIRO-SAVED <seconds> <nanoseconds> <octal mode>", padded with the
// filler. Older programs never read the filler, so their stores and readers
// are unaffected; an entry without it restores with today's time.

#include "platform/file_service.h"
#include "platform/text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantiro {

struct BackupEntry {
  Text path;
  Text start;
  Text length;
  Text time;
};

// The compressor writes 99 spaces before the content; search and replace
// leaves the filler unwritten (it reads as zero bytes).
enum class BackupFiller { Spaces, None };

// Appends one entry: the content bytes exactly as read from the page, and the
// page's size in bytes (callers pass contentBytes.size()); with `savedFrom`,
// the file's modification time and permissions as read, which a restore gives
// back. The data goes in
// first and the index lines after; when the index cannot be written the data
// file is cut back, so the store never holds half an entry. An index left
// ending inside an entry (by a crash, or a cut-back that failed) is first cut
// back to its last whole line and its last entry completed with empty lines,
// so the new entry is read as an entry of its own.
// Throws FileError; also for a path holding CR LF, which would break the index.
void AppendBackupEntry(TextView path, std::string_view contentBytes, std::uint64_t length, BackupFiller filler,
                       const std::optional<FileInfo>& savedFrom = std::nullopt);

// Makes every entry appended so far durable, so that the pages they save may
// be replaced: "bak.dat", then "bak.kbq", and once per process the program
// directory that names them. Nothing to do when nothing was appended since
// the last call. Throws FileError.
void SyncBackupStore();

// The whole index, oldest entry first, or newest first. One line is one field,
// so commas and double quotes in paths are read as written. A last entry with
// missing lines (10 or 11 lines in all) comes back with those fields empty; a
// missing index is an empty list. Throws FileError when the index cannot be read.
std::vector<BackupEntry> ReadBackupIndex(bool newestFirst);

// Deletes "bak.kbq" and then "bak.dat", each when it exists. Throws FileError.
void ClearBackupStore();

// A day of the calendar, as entries' time lines begin ("2024-03-05 ...").
struct CalendarDay {
  int year = 0;
  int month = 0;
  int day = 0;
  auto operator<=>(const CalendarDay&) const = default;
};
// The day a text begins with ("2024-3-5", "2024-03-05 10:00:00"); nothing
// when it does not begin with one.
std::optional<CalendarDay> leadingDay(TextView text);

struct DroppedEntries {
  std::size_t dropped = 0;
  std::size_t kept = 0;
};

// Removes the entries made before `day` (an entry whose time does not read
// as a day is kept). The index is rewritten without them in one step and made
// durable, and only then is the space of their bytes in "bak.dat" given back
// to the file system: the data file keeps its length, so every kept entry
// stays where its index lines say, whatever moment a power cut comes at. With
// no entry kept, the store is cleared. The caller holds the program
// directory's lock. Throws FileError.
DroppedEntries DropBackupEntriesBefore(const CalendarDay& day);

std::string backupIndexPath();
std::string backupDataPath();

// Where the restore of an entry reports: the status texts of the restore
// window, one before and one after the entry.
class RestoreObserver {
 public:
  virtual ~RestoreObserver() = default;
  virtual void showStatus(const Text& status) = 0;
};

// "正在还原  <path>文件，大小为<length>B ....." and the others.
Text restoringText(const BackupEntry& entry);
Text restoredText(const BackupEntry& entry);
Text restoreFailedText(const BackupEntry& entry);

// True for a path that carries the compressor's result marker: no such file
// was written, so the entry is not restored.
bool hasResultMarker(TextView path);

// What restoring checks an entry against in the whole index, read once: a
// restore of every entry then reads the index once, not once per entry.
class BackupIndexChecks {
 public:
  // Reads the index as it is now; a missing index gives no checks. Throws
  // FileError when the index cannot be read.
  static BackupIndexChecks read();
  // Throws FileError when the entry at `start` (1-based) and `length` must not
  // be restored (see `restoreEntry`).
  void check(const BackupEntry& entry, std::uint64_t start, std::uint64_t length) const;

 private:
  struct Place {
    bool whole = false;                 // its start and length lines were written whole
    std::optional<std::uint64_t> lowestLaterStart;  // of the entries written after it
  };
  // By path, start and length: the last entry of the index that has them.
  std::unordered_map<std::string, Place> places_;
};

// Restores one entry: checks that the index still holds the entry, that
// "bak.dat" holds the entry's whole range and
// that no entry written after it in the index found "bak.dat" shorter than
// this entry's end (the data file was cut or deleted and its bytes written
// over), that its start and length lines were written whole, and that its
// path is absolute and names a regular file or nothing (never a device, pipe,
// socket or directory); then replaces the file at the entry's path with those
// bytes in one step (temporary file and rename, keeping the file's
// permissions, access list and attributes). A file that is missing is created
// with the permissions the entry saved, else its owner's alone. The restored
// file gets the modification time the entry saved, where it saved one. A restore that
// cannot be done leaves the target as it was. Reports through `observer`;
// returns whether the entry was restored. Never throws a file error.
// With `checks` (read after the last change to the index) the index is not
// read again.
bool restoreEntry(const BackupEntry& entry, RestoreObserver& observer, const BackupIndexChecks* checks = nullptr);

// Removes the temporary files that restoring `entries` left beside their
// pages when a restore was killed: only files older than the call, so that
// none still being written is touched.
void removeRestoreLeftovers(const std::vector<BackupEntry>& entries);

}  // namespace vantiro
