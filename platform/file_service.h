#pragma once
// Every file operation of the program goes through the current FileService, so
// that tests can make any step fail (a full disk, a directory that cannot be
// written, a file that vanishes) without relying on permissions.
//
// Paths are native byte strings; the program's texts become paths as UTF-8,
// whatever the code page of pages (nativePath / textPath). A name that is not
// valid UTF-8 keeps its bytes as escapes, so the two are exact inverses.
// Failures throw FileError with a description for the user.

#include "platform/text.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantiro {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class EntryKind { File, Directory, Other };

struct FileInfo {
  EntryKind kind = EntryKind::Other;  // links are followed
  std::uint64_t size = 0;
  std::time_t modified = 0;
  // Which file this is, whatever name reached it, and what tells a change
  // made meanwhile by another program.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t modifiedNanoseconds = 0;  // within `modified`
  std::uint64_t links = 1;               // names of the file (hard links)
  bool writable = true;                  // someone has the write bit
  std::uint32_t mode = 0644;             // the permission bits

  bool sameFile(const FileInfo& other) const { return device == other.device && inode == other.inode; }
  // The same file with the same size and modification time.
  bool unchangedSince(const FileInfo& other) const {
    return sameFile(other) && size == other.size && modified == other.modified &&
           modifiedNanoseconds == other.modifiedNanoseconds;
  }
};

struct DirEntry {
  std::string name;  // without the directory
  EntryKind kind = EntryKind::Other;
  bool hidden = false;  // the name begins with "."
  bool link = false;    // a symbolic link (`kind` is what it leads to)
};

// A file written beside its destination and not yet put in its place.
// Removed when it is dropped without being placed.
class StagedFile {
 public:
  virtual ~StagedFile() = default;
  // Renames the file over its destination. Throws FileError, and the
  // destination is then left as it was. A destination with several names
  // (hard links) is instead rewritten where it is, so that every name keeps
  // it: a failure may then leave it cut short, and a caller that must be
  // able to bring it back saves its bytes first.
  virtual void place() = 0;
  // Whether the file is written already, in its destination's directory:
  // that directory is there then. A service that writes only when placing
  // says no.
  virtual bool liesInItsDirectory() const { return false; }
};

// A file's modification time, to the nanosecond.
struct FileTime {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
};

// What a staged file gets besides its bytes. A file that is replaced always
// passes its permissions, owner, group, access list and extended attributes
// on to the new one.
struct StagedTraits {
  // A new file (none was at the path) takes this file's permissions, access
  // list and extended attributes, when given: a mirror gets its page's.
  std::string likeFile;
  // That file's permission bits, when the caller has just looked at it (a
  // page it read): spares a look.
  std::optional<std::uint32_t> likeFileMode;
  // Otherwise a new file gets these permission bits; 0644 when not given.
  std::optional<std::uint32_t> newMode;
  // The placed file's modification time, when given; else the time of writing.
  std::optional<FileTime> modified;
};

// The traits of a file written like `file` (a mirror like its page), with
// what a look at it just found, when there was one.
inline StagedTraits stagedLike(std::string file, const std::optional<FileInfo>& lookedAt = std::nullopt) {
  StagedTraits traits;
  traits.likeFile = std::move(file);
  if (lookedAt) traits.likeFileMode = lookedAt->mode;
  return traits;
}

// A file's bytes, and how the file was just before and just after they were
// read (nothing where it was not there).
struct FileRead {
  std::string bytes;
  std::optional<FileInfo> before;
  std::optional<FileInfo> after;
};

// The message of a write refused because nobody may write the file.
inline constexpr std::string_view kReadOnlyReason = "文件只读";

class FileService {
 public:
  virtual ~FileService() = default;

  // Information about a path, or nothing when it does not exist.
  virtual std::optional<FileInfo> stat(const std::string& path) = 0;
  virtual std::string readFile(const std::string& path) = 0;
  // readFile, with the file's information taken before and after the read:
  // `beforeReading` gets the first before any byte is read and may throw to
  // refuse the file. The default is stat, readFile, stat.
  virtual FileRead readFileWithInfo(const std::string& path,
                                    const std::function<void(const FileInfo&)>& beforeReading);
  // `length` bytes from the 0-based `offset`; throws when the file is shorter.
  virtual std::string readRange(const std::string& path, std::uint64_t offset, std::uint64_t length) = 0;
  // Writes `bytes` to a temporary file beside `path` and renames it over
  // `path` only when complete, keeping an existing file's permissions and,
  // when the process may set them, its owner and group. A `path` that is a
  // symbolic link is written at the file it leads to and stays a link. An
  // existing file that nobody may write is refused (kReadOnlyReason), also
  // for root. On any failure the old file is left as it was.
  virtual void writeFileAtomic(const std::string& path, std::string_view bytes) = 0;
  // writeFileAtomic in two steps: the temporary file, with the permissions,
  // access list and extended attributes `path` has now (or, for a new file,
  // those `traits` give), is written here and renamed over `path` by place().
  // Lets a caller write while the order of replacements is still to come.
  // The default keeps the bytes and does all of writeFileAtomic in place(),
  // leaving the traits aside.
  virtual std::unique_ptr<StagedFile> stageFile(const std::string& path, std::string_view bytes,
                                                const StagedTraits& traits);
  std::unique_ptr<StagedFile> stageFile(const std::string& path, std::string_view bytes) {
    return stageFile(path, bytes, StagedTraits{});
  }
  // stageFile with the bytes of the file `from`, which the real service
  // copies without holding them in memory: a site's videos and archives are
  // copied whatever their size. The default reads them.
  virtual std::unique_ptr<StagedFile> stageCopy(const std::string& from, const std::string& path,
                                                const StagedTraits& traits) {
    return stageFile(path, readFile(from), traits);
  }
  // On while a run writes pages: the service keeps what spares the next pages
  // work. Placing a staged file keeps the file it replaces to be written over
  // by a later stageFile in the same directory, where nothing else sees the
  // difference (platform/spare_files.h): far cheaper than a new file. Files
  // appended to stay open (platform/kept_appends.h), and directories resolved
  // are remembered (platform/resolved_directories.h). Turning it off removes,
  // closes and forgets what was kept. Services that keep nothing ignore it.
  virtual void keepBetweenPages(bool /*keep*/) {}
  // Makes the placements of staged files so far durable where a kept file
  // took part (syncs their directories); only then are the files they
  // replaced written over, since until then a power cut may give a page its
  // old file back. A run calls it once for every batch it puts in place.
  virtual void syncPlacedFiles() {}
  // Makes what was written to the file or directory `path` durable: it
  // survives a power cut once this returns. Throws FileError.
  virtual void syncFile(const std::string& path) = 0;
  // Appends to `path`, creating it readable and writable by its owner only.
  // Refuses anything but a regular file without waiting (a named pipe never
  // holds the program up). Returns where the appended bytes begin (the file's
  // size just before they landed).
  virtual std::uint64_t appendFile(const std::string& path, std::string_view bytes) = 0;
  // appendFile of `first` followed by `second`, as one append: a large second
  // piece (a page) is written from where it lies, not copied behind the first.
  // Returns where `first` begins.
  virtual std::uint64_t appendPieces(const std::string& path, std::string_view first, std::string_view second) {
    std::string joined;
    joined.reserve(first.size() + second.size());
    joined.append(first).append(second);
    return appendFile(path, joined);
  }
  // Gives the disk space of `length` bytes from `offset` back to the file
  // system; the file keeps its length and the range then reads as zeros.
  // Where the file system cannot do that, nothing changes. Throws FileError
  // when the file cannot be opened.
  virtual void freeRange(const std::string& /*path*/, std::uint64_t /*offset*/, std::uint64_t /*length*/) {}
  // Truncates the file back to `size` bytes (undoes a partial append).
  virtual void truncateFile(const std::string& path, std::uint64_t size) = 0;
  virtual void removeFile(const std::string& path) = 0;
  // Never replaces an existing file: a taken name is a failure.
  virtual void renameNoReplace(const std::string& from, const std::string& to) = 0;
  virtual void createDirectory(const std::string& path) = 0;
  // Entries other than "." and "..", names sorted case-insensitively with ties
  // broken by the exact bytes. Throws when the directory cannot be listed.
  virtual std::vector<DirEntry> listDirectory(const std::string& dir) = 0;
  // Whether several threads may call this service at once: a run then reads
  // and compresses pages on every core. A service that does not say so is
  // called from one thread only.
  virtual bool servesThreads() const { return false; }
};

// The reason for a failed system call (an errno value) in the program's own
// language, for the failures users meet.
std::string reasonText(int err);

// The real file system.
FileService& realFileService();
// The service every caller uses; tests may replace it for a while.
FileService& files();
void setFileService(FileService* service);  // nullptr restores the real one

class ScopedFileService {
 public:
  explicit ScopedFileService(FileService& service) { setFileService(&service); }
  ~ScopedFileService() { setFileService(nullptr); }
  ScopedFileService(const ScopedFileService&) = delete;
  ScopedFileService& operator=(const ScopedFileService&) = delete;
};

// Conveniences over files().
bool isNormalFile(const std::string& path);  // a regular file whose name does not begin with "."
bool isHiddenName(std::string_view path);  // the name after the last "/" is empty or begins with "."
TextView fileNameOf(TextView path);  // the part after the last "/", all of it without one
bool isDirectory(const std::string& path);
bool pathExists(const std::string& path);

std::string nativePath(TextView path);
Text textPath(std::string_view native);

// `path` with every symbolic link in it resolved; `path` itself when that
// cannot be done.
std::string resolvedPath(const std::string& path);

// `path` with the links of its longest existing part resolved and the rest
// (names still to be created) appended as given: where writing `path` would
// land. `path` itself when no part of it can be resolved.
std::string resolvedExistingPart(const std::string& path);

// Whether the resolved path `resolved` is the directory `resolvedRoot` or lies
// below it (whole components compared).
bool liesWithin(std::string_view resolved, std::string_view resolvedRoot);

// Whether `entryName` is a temporary file that writing a file named
// `fileName` (both without the directory) creates beside it.
bool isTemporaryFor(const std::string& entryName, const std::string& fileName);
// Whether `name` (without the directory) is a temporary file of this program,
// whatever file it was written for.
bool isProgramTemporary(std::string_view name);

// Removes the temporary files that writing `paths` left beside them when a
// writer was killed: those of the files named, last changed before `before`
// (so that none still being written is touched). Each directory is listed
// once. Failures are ignored: such a file is only litter.
void removeLeftoverTemporaries(const std::vector<std::string>& paths, std::time_t before);

// Case-insensitive wildcard match of a file name ("*" and "?"); the pattern
// "*.htm" also matches names ending in ".html".
bool matchesPattern(const std::string& name, const std::string& pattern);

}  // namespace vantiro
