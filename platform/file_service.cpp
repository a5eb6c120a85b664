#include "platform/file_service.h"

#include "platform/background_close.h"
#include "platform/code_page.h"
#include "platform/kept_appends.h"
#include "platform/resolved_directories.h"
#include "platform/spare_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <random>

namespace vantiro {

std::string reasonText(int err) {
  switch (err) {
    case ENOENT: return "文件或目录不存在";
    case EACCES:
    case EPERM: return "没有权限";
    case ENOSPC:
    case EDQUOT: return "磁盘已满";
    case EEXIST: return "文件已存在";
    case ENOTDIR: return "路径中有一项不是目录";
    case EISDIR: return "这是一个目录";
    case EROFS: return "磁盘只读";
    case EIO: return "读写错误";
    case ENAMETOOLONG: return "文件名太长";
    default: return std::strerror(err);
  }
}

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
  throw FileError(what + " " + path + ": " + reasonText(err));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// writeAll of `first` and then `second`, in as few calls as the system takes.
void writeBoth(int fd, std::string_view first, std::string_view second, const std::string& path) {
  while (!first.empty() || !second.empty()) {
    ::iovec pieces[2] = {{const_cast<char*>(first.data()), first.size()},
                         {const_cast<char*>(second.data()), second.size()}};
    ssize_t n = ::writev(fd, pieces, 2);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("无法写入文件", path, errno);
    }
    const auto written = static_cast<std::size_t>(n);
    const std::size_t fromFirst = std::min(written, first.size());
    first.remove_prefix(fromFirst);
    second.remove_prefix(written - fromFirst);
  }
}

void writeAll(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("无法写入文件", path, errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// What a staged file is filled with: bytes in memory, or the whole of an open
// file, which the kernel copies without bringing it into the process.
struct StagedContent {
  std::string_view bytes;
  int sourceFd = -1;

  // Writes the content at the file's position; returns how many bytes.
  std::uint64_t writeTo(int fd, const std::string& path) const {
    if (sourceFd < 0) {
      writeAll(fd, bytes, path);
      return bytes.size();
    }
    std::uint64_t written = 0;
    for (;;) {
      const ssize_t n = ::copy_file_range(sourceFd, nullptr, fd, nullptr, std::size_t{1} << 30, 0);
      if (n == 0) return written;
      if (n > 0) {
        written += static_cast<std::uint64_t>(n);
        continue;
      }
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) fail("无法写入文件", path, errno);
      return written + forEachBlock(path, [&](std::string_view block) { writeAll(fd, block, path); });
    }
  }

  // The whole content in memory, for a file rewritten where it is.
  std::string whole(const std::string& path) const {
    if (sourceFd < 0) return std::string(bytes);
    std::string out;
    forEachBlock(path, [&](std::string_view block) { out += block; });
    return out;
  }

 private:
  // Reads the source file from its position to its end, a megabyte at a time,
  // where the kernel cannot copy between the two files (another file system).
  template <typename Put>
  std::uint64_t forEachBlock(const std::string& path, Put&& put) const {
    std::string buffer(std::size_t{1} << 20, '\0');
    std::uint64_t read = 0;
    for (;;) {
      const ssize_t n = ::read(sourceFd, buffer.data(), buffer.size());
      if (n == 0) return read;
      if (n < 0) {
        if (errno == EINTR) continue;
        fail("无法读取文件", path, errno);
      }
      put(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
      read += static_cast<std::uint64_t>(n);
    }
  }
};

EntryKind entryKind(mode_t mode) {
  return S_ISREG(mode) ? EntryKind::File : S_ISDIR(mode) ? EntryKind::Directory : EntryKind::Other;
}

FileInfo fileInfo(const struct ::stat& st) {
  FileInfo info;
  info.kind = entryKind(st.st_mode);
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.modified = st.st_mtim.tv_sec;
  info.modifiedNanoseconds = st.st_mtim.tv_nsec;
  info.device = st.st_dev;
  info.inode = st.st_ino;
  info.links = st.st_nlink;
  info.writable = (st.st_mode & 0222) != 0;
  info.mode = st.st_mode & 07777;
  return info;
}

// Opens a file to read it, refusing anything but a regular file before a
// byte is read: opening without waiting, a named pipe cannot hold the
// program up for a writer that never comes. `st` gets what it is.
int openForReading(const std::string& path, struct ::stat& st) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) fail("无法打开文件", path, errno);
  if (::fstat(fd.get(), &st) != 0) fail("无法读取文件", path, errno);
  if (!S_ISREG(st.st_mode)) throw FileError("不是文件 " + path);
  return fd.release();
}

// The whole of the open file `fd` of `size` bytes, read on to its end when it grew.
std::string readOpenFile(int fd, std::size_t size, const std::string& path) {
  std::string out;
  out.resize(size);
  std::size_t got = 0;
  const auto readSome = [&](char* into, std::size_t room) {
    for (;;) {
      const ssize_t n = ::read(fd, into, room);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) fail("无法读取文件", path, errno);
    }
  };
  while (got < out.size()) {
    const std::size_t n = readSome(out.data() + got, out.size() - got);
    if (n == 0) break;  // the file shrank
    got += n;
  }
  // The file may have grown since its size was taken: read on to its end,
  // through a small buffer so that a file that did not grow costs nothing more.
  if (got == out.size()) {
    char more[4096];
    for (std::size_t n; (n = readSome(more, sizeof more)) != 0; got += n) out.append(more, n);
  }
  out.resize(got);
  return out;
}

// The path the open file `fd` has, its links resolved, as the system keeps it;
// nothing where the system does not say (no /proc).
std::optional<std::string> pathOfOpenFile(int fd) {
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer || buffer[0] != '/') return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

// realpath() in three system calls whatever the depth of the path: the path
// is opened without being read and the system names what it opened.
// realpath() itself, which looks at every component, where that cannot be done.
std::optional<std::string> canonicalPath(const std::string& path) {
  FileDescriptor fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) return std::nullopt;
  } else if (std::optional<std::string> named = pathOfOpenFile(fd.get())) {
    return named;
  }
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::nullopt;
  std::string out = resolved;
  std::free(resolved);
  return out;
}

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr std::string_view kTemporaryMark = ".vantiro-";
// The longest name most file systems take, in bytes.
constexpr std::size_t kLongestName = 255;
// The part of a file's name its temporary files carry: all of it when the
// temporary name stays within kLongestName bytes with the longest number, else
// its start, not cut inside a UTF-8 character.
std::string_view temporaryStem(std::string_view name) {
  constexpr std::size_t room = kLongestName - 1 - kTemporaryMark.size() - 9;
  if (name.size() <= room) return name;
  std::size_t cut = room;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

// ".NAME.vantiro-N", hidden beside the file it is written for.
std::string temporaryName(std::string_view name, std::uint64_t number) {
  std::string temp = ".";
  temp += temporaryStem(name);
  temp += kTemporaryMark;
  temp += std::to_string(number);
  return temp;
}

// How `a` and `b` compare with their ASCII letters in lower case, as
// lowerAscii(a) <=> lowerAscii(b) would, without making either: a listing's
// sort compares every name several times.
int compareLowerAscii(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t k = 0; k < n; ++k)
    if (lower(a[k]) != lower(b[k])) return lower(a[k]) < lower(b[k]) ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string lowerAscii(const std::string& s) {
  std::string out = s;
  for (auto& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// The file that writing a path replaces: the file a symbolic link leads to,
// so that the link stays a link; the path itself otherwise, or when the link
// leads nowhere. With whether it exists, and its information when it does.
struct WrittenFile {
  std::string path;
  bool exists = false;
  struct ::stat info{};
};

WrittenFile fileWritten(const std::string& path) {
  WrittenFile written;
  // A path that is no link needs no second look.
  if (::lstat(path.c_str(), &written.info) != 0) {
    written.path = path;
    return written;
  }
  if (!S_ISLNK(written.info.st_mode)) {
    written.path = path;
    written.exists = true;
    return written;
  }
  written.path = resolvedPath(path);
  written.exists = ::stat(written.path.c_str(), &written.info) == 0;
  return written;
}

// Whether `path` has extended attributes (an access list among them).
bool hasExtendedAttributes(const std::string& path) { return ::listxattr(path.c_str(), nullptr, 0) > 0; }

// Gives the open file `to` the extended attributes of `from`, its access list
// among them. An attribute the program may not set (another module's label)
// is left out, but not the access list: without it the file would be open
// to users its model was closed to.
void copyExtendedAttributes(const std::string& from, int to, const std::string& path) {
  std::string names(4096, '\0');
  ssize_t size;
  while ((size = ::listxattr(from.c_str(), names.data(), names.size())) < 0 && errno == ERANGE)
    names.resize(names.size() * 4);
  if (size <= 0) return;
  names.resize(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    std::string value(65536, '\0');
    const ssize_t length = ::getxattr(from.c_str(), name, value.data(), value.size());
    const bool copied = length >= 0 && ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(length), 0) == 0;
    if (!copied && std::string_view(name) == "system.posix_acl_access") fail("无法设置文件权限", path, errno);
  }
}

void setModified(int fd, const std::optional<FileTime>& modified, const std::string& path) {
  if (!modified) return;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(modified->seconds), modified->nanoseconds}};
  if (::futimens(fd, times) != 0) fail("无法设置文件时间", path, errno);
}

// A file with several names, rewritten where it is when placed so that every
// name keeps it: renaming a new file over one name would part it from the others.
class RewriteInPlace final : public StagedFile {
 public:
  RewriteInPlace(std::string path, std::string_view bytes, std::optional<FileTime> modified)
      : path_(std::move(path)), bytes_(bytes), modified_(modified) {}

  bool liesInItsDirectory() const override { return true; }  // it is the file there

  void place() override {
    FileDescriptor fd(::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) fail("无法打开文件", path_, errno);
    writeAll(fd.get(), bytes_, path_);
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes_.size())) != 0) fail("无法写入文件", path_, errno);
    setModified(fd.get(), modified_, path_);
    if (::close(fd.release()) != 0) fail("无法写入文件", path_, errno);
  }

 private:
  std::string path_;
  std::string bytes_;
  std::optional<FileTime> modified_;
};

// A written and closed temporary file beside its destination.
class RealStagedFile final : public StagedFile {
 public:
  // `spares`: where the file it replaces is set aside, when it replaces one
  // and spares are kept.
  RealStagedFile(std::string temp, std::string path, SpareFiles* spares)
      : temp_(std::move(temp)), path_(std::move(path)), spares_(spares) {}
  ~RealStagedFile() override {
    if (!placed_) ::unlink(temp_.c_str());
  }
  RealStagedFile(const RealStagedFile&) = delete;
  RealStagedFile& operator=(const RealStagedFile&) = delete;

  bool liesInItsDirectory() const override { return !placed_; }

  void place() override {
    if (spares_ != nullptr && spares_->keeping() &&
        ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_EXCHANGE) == 0) {
      // Swapping puts a directory that took the page's name meanwhile out of
      // sight, where renaming over it would have failed: swap it back.
      struct ::stat replaced{};
      if (::lstat(temp_.c_str(), &replaced) == 0 && S_ISDIR(replaced.st_mode)) {
        ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), RENAME_EXCHANGE);
        fail("无法写入文件", path_, EISDIR);
      }
      placed_ = true;
      spares_->setAside(directoryOf(path_), temp_);
      return;
    }
    // Held open across the rename, the file being replaced is freed when it
    // is closed, off this thread.
    const int replaced = ::open(path_.c_str(), O_PATH | O_CLOEXEC);
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
      const int error = errno;
      if (replaced >= 0) ::close(replaced);
      fail("无法写入文件", path_, error);
    }
    placed_ = true;
    if (replaced >= 0) closeInBackground(replaced);
  }

 private:
  std::string temp_;
  std::string path_;
  SpareFiles* spares_;
  bool placed_ = false;
};

// A new file written with no name in its directory, given its name only when
// placed: the directory changes once a page instead of twice (a temporary
// name, then the rename), and a run that is killed leaves no file behind.
// Placing links it where no file is; a file that took the name meanwhile is
// replaced, as a rename would replace it.
//
// Each holds a descriptor until placed; past kMostOpen of them at once, new
// files get a named temporary file instead, which holds none.
class UnnamedStagedFile final : public StagedFile {
 public:
  static constexpr int kMostOpen = 256;

  // An unnamed file in `dir` for `path`, open for writing; nothing when the
  // file system has none, kMostOpen are open, or there is no /proc to name
  // it through.
  static std::unique_ptr<UnnamedStagedFile> create(const std::string& dir, const std::string& name,
                                                   const std::string& path, mode_t mode) {
    static const bool nameable = ::access("/proc/self/fd", X_OK) == 0;
    if (!nameable) return nullptr;
    if (open_.fetch_add(1) >= kMostOpen) {
      --open_;
      return nullptr;
    }
    // Nobody sees the file before it is placed, so it may have its
    // permissions from the start.
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 0777);
    if (fd < 0) {
      --open_;
      return nullptr;
    }
    return std::unique_ptr<UnnamedStagedFile>(new UnnamedStagedFile(fd, dir, name, path));
  }
  ~UnnamedStagedFile() override {
    if (fd_ >= 0) release();
  }
  int descriptor() const { return fd_; }
  UnnamedStagedFile(const UnnamedStagedFile&) = delete;
  UnnamedStagedFile& operator=(const UnnamedStagedFile&) = delete;

  bool liesInItsDirectory() const override { return fd_ >= 0; }

  void place() override {
    if (linkAs(path_)) return release();
    if (errno != EEXIST) fail("无法写入文件", path_, errno);
    thread_local std::mt19937_64 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 16; ++attempt) {
      const std::string temp = dir_ + "/" + temporaryName(name_, rng() % 1000000000);
      if (!linkAs(temp)) {
        if (errno == EEXIST) continue;
        fail("无法写入文件", path_, errno);
      }
      if (::rename(temp.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        fail("无法写入文件", path_, error);
      }
      return release();
    }
    fail("无法写入文件", path_, EEXIST);
  }

 private:
  UnnamedStagedFile(int fd, std::string dir, std::string name, std::string path)
      : fd_(fd), dir_(std::move(dir)), name_(std::move(name)), path_(std::move(path)) {}

  bool linkAs(const std::string& target) const {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0;
  }
  void release() {
    ::close(fd_);
    fd_ = -1;
    --open_;
  }

  static inline std::atomic<int> open_{0};
  int fd_;
  std::string dir_;
  std::string name_;
  std::string path_;
};

// A spare of `dir` that can become the new file `existing` describes, renamed
// to a temporary name for `name`; nothing when there is none.
std::optional<Spare> reusedTemporary(SpareFiles& spares, const std::string& dir, const std::string& name,
                                     const struct ::stat& existing, std::mt19937_64& rng) {
  std::optional<Spare> spare = spares.take(dir, {existing.st_uid, existing.st_gid, existing.st_mode & 07777});
  if (!spare) return std::nullopt;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = dir + "/" + temporaryName(name, rng() % 1000000000);
    if (::renameat2(AT_FDCWD, spare->path.c_str(), AT_FDCWD, temp.c_str(), RENAME_NOREPLACE) == 0) {
      spare->path = std::move(temp);
      return spare;
    }
    if (errno != EEXIST) break;
  }
  ::close(spare->fd);
  ::unlink(spare->path.c_str());
  return std::nullopt;
}

class RealFileService final : public FileService {
 public:
  bool servesThreads() const override { return true; }

  std::optional<FileInfo> stat(const std::string& path) override {
    struct ::stat st{};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return fileInfo(st);
  }

  std::string readFile(const std::string& path) override {
    struct ::stat st{};
    FileDescriptor fd(openForReading(path, st));
    return readOpenFile(fd.get(), static_cast<std::size_t>(st.st_size), path);
  }

  // The file as opened is the file before the read: one look-up fewer than a stat first.
  FileRead readFileWithInfo(const std::string& path, const std::function<void(const FileInfo&)>& beforeReading) override {
    struct ::stat st{};
    FileDescriptor fd(openForReading(path, st));
    FileRead read;
    read.before = fileInfo(st);
    beforeReading(*read.before);
    read.bytes = readOpenFile(fd.get(), static_cast<std::size_t>(st.st_size), path);
    read.after = stat(path);
    return read;
  }

  std::string readRange(const std::string& path, std::uint64_t offset, std::uint64_t length) override {
    struct ::stat st{};
    FileDescriptor fd(openForReading(path, st));
    std::string out(static_cast<std::size_t>(length), '\0');
    std::size_t got = 0;
    while (got < out.size()) {
      ssize_t n = ::pread(fd.get(), out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
      if (n < 0) {
        if (errno == EINTR) continue;
        fail("无法读取文件", path, errno);
      }
      if (n == 0) throw FileError("文件太短 " + path);
      got += static_cast<std::size_t>(n);
    }
    return out;
  }

  using FileService::stageFile;

  void writeFileAtomic(const std::string& path, std::string_view bytes) override { stageFile(path, bytes)->place(); }

  std::unique_ptr<StagedFile> stageFile(const std::string& path, std::string_view bytes,
                                        const StagedTraits& traits) override {
    return stage(path, StagedContent{bytes}, traits);
  }

  std::unique_ptr<StagedFile> stageCopy(const std::string& from, const std::string& path,
                                        const StagedTraits& traits) override {
    struct ::stat st{};
    FileDescriptor source(openForReading(from, st));
    return stage(path, StagedContent{{}, source.get()}, traits);
  }

 private:
  std::unique_ptr<StagedFile> stage(const std::string& path, const StagedContent& content,
                                    const StagedTraits& traits) {
    const WrittenFile replaced = fileWritten(path);
    const std::string& target = replaced.path;
    const struct ::stat& st = replaced.info;
    const bool existed = replaced.exists;
    if (existed && (st.st_mode & 0222) == 0) throw FileError("无法写入文件 " + path + ": " + std::string(kReadOnlyReason));
    // A file with several names is rewritten where it is, from memory.
    if (existed && S_ISREG(st.st_mode) && st.st_nlink > 1)
      return std::make_unique<RewriteInPlace>(target, content.whole(path), traits.modified);
    // Whose permissions, access list and attributes the new file takes.
    struct ::stat model{};
    const std::string modelPath = existed ? target : traits.likeFile;
    const bool modelled =
        existed || (!modelPath.empty() && (traits.likeFileMode || ::stat(modelPath.c_str(), &model) == 0));
    if (existed) model = st;
    else if (traits.likeFileMode) model.st_mode = *traits.likeFileMode;
    const bool attributes = modelled && hasExtendedAttributes(modelPath);
    const std::string dir = directoryOf(target);
    const std::string name = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    thread_local std::mt19937_64 rng{std::random_device{}()};  // pages are staged on several threads
    // A spare has no attributes to give, so a page with some gets a new file.
    if (existed && S_ISREG(st.st_mode) && !attributes) {
      if (std::optional<Spare> spare = reusedTemporary(spares_, dir, name, st, rng)) {
        auto staged = std::make_unique<RealStagedFile>(spare->path, target, &spares_);
        FileDescriptor fd(spare->fd);
        const std::uint64_t written = content.writeTo(fd.get(), path);
        if (::ftruncate(fd.get(), static_cast<off_t>(written)) != 0) fail("无法写入文件", path, errno);
        setModified(fd.get(), traits.modified, path);
        ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        if (::close(fd.release()) != 0) fail("无法写入文件", path, errno);
        return staged;
      }
    }
    const mode_t mode = modelled ? model.st_mode & 07777 : traits.newMode.value_or(0644);
    if (!existed) {
      if (std::unique_ptr<UnnamedStagedFile> staged = UnnamedStagedFile::create(dir, name, target, mode)) {
        const int unnamed = staged->descriptor();
        content.writeTo(unnamed, path);
        // Set only where the creation mask or a default access list took some
        // away: changing them costs the file system more than looking.
        struct ::stat created{};
        if ((::fstat(unnamed, &created) != 0 || (created.st_mode & 07777) != mode) && ::fchmod(unnamed, mode) != 0)
          fail("无法设置文件权限", path, errno);
        if (attributes) copyExtendedAttributes(modelPath, unnamed, path);
        setModified(unnamed, traits.modified, path);
        return staged;
      }
      // A file system without unnamed files gets a named temporary file.
    }
    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
      temp = dir + "/" + temporaryName(name, rng() % 1000000000);
      raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (raw < 0 && errno != EEXIST) fail("无法创建文件", path, errno);
    }
    if (raw < 0) fail("无法创建文件", path, EEXIST);
    // Removes the file on failure.
    auto staged = std::make_unique<RealStagedFile>(temp, target, existed ? &spares_ : nullptr);
    FileDescriptor fd(raw);
    content.writeTo(fd.get(), path);
    // Renaming over an existing file makes some file systems write the new
    // one out first; starting that here spares the thread that renames.
    if (existed) ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    // The owner first: changing it clears the set-user and set-group bits
    // that the mode then puts back.
    if (existed && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
      // Not allowed: the file becomes the writer's, as an editor would leave it.
    }
    if (::fchmod(fd.get(), mode) != 0) fail("无法设置文件权限", path, errno);
    if (attributes) copyExtendedAttributes(modelPath, fd.get(), path);
    setModified(fd.get(), traits.modified, path);
    if (::close(fd.release()) != 0) fail("无法写入文件", path, errno);
    return staged;
  }

 public:
  void keepBetweenPages(bool keep) override {
    spares_.keep(keep);
    appends_.keep(keep);
    resolvedDirectories().keep(keep);
  }
  void syncPlacedFiles() override { spares_.settle(); }

  void syncFile(const std::string& path) override {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) fail("无法打开文件", path, errno);
    if (::fsync(fd.get()) != 0) fail("无法写入文件", path, errno);
  }

  std::uint64_t appendFile(const std::string& path, std::string_view bytes) override {
    return appendPieces(path, bytes, {});
  }

  std::uint64_t appendPieces(const std::string& path, std::string_view first, std::string_view second) override {
    // One append at a time: a kept descriptor's offset says where the last
    // append through it ended only while no other append moves it.
    const std::lock_guard<std::mutex> lock(appendMutex_);
    struct ::stat st{};
    int fd = -1;
    if (appends_.keeping() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      fd = appends_.descriptorFor(path, st.st_dev, st.st_ino);
    const bool kept = fd >= 0;
    FileDescriptor opened(kept ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!kept) {
      if (opened.get() < 0) fail("无法打开文件", path, errno);
      if (::fstat(opened.get(), &st) != 0) fail("无法读取文件", path, errno);
      if (!S_ISREG(st.st_mode)) throw FileError("不是文件 " + path);
      fd = opened.get();
    }
    try {
      writeBoth(fd, first, second, path);
    } catch (const FileError&) {
      if (kept) appends_.forget(path);
      throw;
    }
    // Where the bytes landed: an appending write goes to the end of the file
    // as it is at that moment, which a size read before it need not be.
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end < 0) fail("无法读取文件", path, errno);
    if (!kept) {
      if (appends_.keeping()) {
        appends_.keepOpen(path, opened.release(), st.st_dev, st.st_ino);
      } else if (::close(opened.release()) != 0) {
        fail("无法写入文件", path, errno);
      }
    }
    return static_cast<std::uint64_t>(end) - first.size() - second.size();
  }

  void freeRange(const std::string& path, std::uint64_t offset, std::uint64_t length) override {
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) fail("无法打开文件", path, errno);
    ::fallocate(fd.get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                static_cast<off_t>(length));
  }

  void truncateFile(const std::string& path, std::uint64_t size) override {
    if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) fail("无法写入文件", path, errno);
  }

  void removeFile(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) fail("无法删除文件", path, errno);
  }

  void renameNoReplace(const std::string& from, const std::string& to) override {
    // A hard link fails when the name is taken, which makes the check and the
    // rename one step; file systems without links get a checked rename.
    if (::link(from.c_str(), to.c_str()) == 0) {
      if (::unlink(from.c_str()) != 0) fail("无法重命名文件", from, errno);
      return;
    }
    if (errno == EEXIST) fail("无法重命名文件", to, EEXIST);
    struct ::stat st{};
    if (::lstat(to.c_str(), &st) == 0) fail("无法重命名文件", to, EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) fail("无法重命名文件", from, errno);
  }

  void createDirectory(const std::string& path) override {
    if (::mkdir(path.c_str(), 0755) != 0) fail("无法创建目录", path, errno);
  }

  std::vector<DirEntry> listDirectory(const std::string& dir) override {
    DIR* d = ::opendir(dir.c_str());
    if (!d) fail("无法读取目录", dir, errno);
    std::vector<DirEntry> out;
    std::string base = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    while (dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      DirEntry entry;
      entry.name = name;
      entry.hidden = name[0] == '.';
      // The listing tells files and directories apart itself; only a link, or
      // an entry of a file system that does not say, is looked at.
      struct ::stat st{};
      entry.link = e->d_type == DT_LNK ||
                   (e->d_type == DT_UNKNOWN && ::lstat((base + name).c_str(), &st) == 0 && S_ISLNK(st.st_mode));
      if (e->d_type == DT_REG)
        entry.kind = EntryKind::File;
      else if (e->d_type == DT_DIR)
        entry.kind = EntryKind::Directory;
      else if (::stat((base + name).c_str(), &st) == 0)
        entry.kind = entryKind(st.st_mode);
      out.push_back(std::move(entry));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) {
      const int caseless = compareLowerAscii(a.name, b.name);
      return caseless != 0 ? caseless < 0 : a.name < b.name;
    });
    return out;
  }

 private:
  SpareFiles spares_;
  KeptAppends appends_;
  std::mutex appendMutex_;
};

FileService* currentService = nullptr;

bool matchesWildcard(const char* pattern, const char* name) {
  // Iterative matcher with one backtrack point: linear in practice.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    char pc = *pattern >= 'A' && *pattern <= 'Z' ? static_cast<char>(*pattern + 32) : *pattern;
    char sc = *name >= 'A' && *name <= 'Z' ? static_cast<char>(*name + 32) : *name;
    if (pc == '*') {
      star = pattern++;
      resume = name;
    } else if (pc && (pc == '?' || pc == sc)) {
      ++pattern, ++name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == 0;
}

}  // namespace

namespace {

// What a service without a staging step of its own stages: the bytes, written
// by writeFileAtomic when placed.
class DeferredWrite final : public StagedFile {
 public:
  DeferredWrite(FileService& service, std::string path, std::string_view bytes)
      : service_(service), path_(std::move(path)), bytes_(bytes) {}
  void place() override { service_.writeFileAtomic(path_, bytes_); }

 private:
  FileService& service_;
  std::string path_;
  std::string bytes_;
};

}  // namespace

FileRead FileService::readFileWithInfo(const std::string& path,
                                      const std::function<void(const FileInfo&)>& beforeReading) {
  FileRead read;
  read.before = stat(path);
  if (read.before) beforeReading(*read.before);
  read.bytes = readFile(path);
  read.after = stat(path);
  return read;
}

std::unique_ptr<StagedFile> FileService::stageFile(const std::string& path, std::string_view bytes,
                                                   const StagedTraits& /*traits*/) {
  return std::make_unique<DeferredWrite>(*this, path, bytes);
}

FileService& realFileService() {
  static RealFileService service;
  return service;
}

FileService& files() { return currentService ? *currentService : realFileService(); }
void setFileService(FileService* service) { currentService = service; }

TextView fileNameOf(TextView path) {
  const std::size_t slash = path.rfind(U'/');
  return slash == TextView::npos ? path : path.substr(slash + 1);
}

bool isHiddenName(std::string_view path) {
  const auto slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  return name.empty() || name[0] == '.';
}

bool isNormalFile(const std::string& path) {
  if (isHiddenName(path)) return false;
  auto info = files().stat(path);
  return info && info->kind == EntryKind::File;
}

bool isDirectory(const std::string& path) {
  auto info = files().stat(path);
  return info && info->kind == EntryKind::Directory;
}

bool pathExists(const std::string& path) { return files().stat(path).has_value(); }

std::string nativePath(TextView path) { return CodePage::utf8().encode(path); }
Text textPath(std::string_view native) { return CodePage::utf8().decode(native); }

std::string resolvedPath(const std::string& path) { return canonicalPath(path).value_or(path); }

namespace {

// canonicalPath, sparing what a run repeats for every page: a directory met
// before is resolved from memory while a look finds the same directory there,
// and a file that is no link resolves as its directory and its name.
std::optional<std::string> resolvedEntry(const std::string& path) {
  ResolvedDirectories& directories = resolvedDirectories();
  struct ::stat st{};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    return canonicalPath(path);
  }
  if (S_ISLNK(st.st_mode)) return canonicalPath(path);
  if (S_ISDIR(st.st_mode)) {
    if (std::optional<std::string> known = directories.find(path, st.st_dev, st.st_ino)) return known;
    std::optional<std::string> resolved = canonicalPath(path);
    if (resolved) directories.remember(path, st.st_dev, st.st_ino, *resolved);
    return resolved;
  }
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return canonicalPath(path);
  std::optional<std::string> directory = resolvedEntry(slash == 0 ? "/" : path.substr(0, slash));
  if (!directory) return canonicalPath(path);
  if (*directory != "/") *directory += '/';
  return *directory + path.substr(slash + 1);
}

}  // namespace

std::string resolvedExistingPart(const std::string& path) {
  std::string existing = path;
  std::string rest;
  for (;;) {
    while (existing.size() > 1 && existing.back() == '/') existing.pop_back();
    if (std::optional<std::string> resolved = resolvedEntry(existing)) {
      std::string out = std::move(*resolved);
      if (!rest.empty() && out != "/") out += '/';
      return out + rest;
    }
    const auto slash = existing.rfind('/');
    if (slash == std::string::npos || existing == "/") return path;
    const std::string name = existing.substr(slash + 1);
    rest = rest.empty() ? name : name + "/" + rest;
    existing.erase(slash == 0 ? 1 : slash);
  }
}

bool liesWithin(std::string_view resolved, std::string_view resolvedRoot) {
  while (resolvedRoot.size() > 1 && resolvedRoot.back() == '/') resolvedRoot.remove_suffix(1);
  if (!resolved.starts_with(resolvedRoot)) return false;
  if (resolved.size() == resolvedRoot.size() || resolvedRoot == "/") return true;
  return resolved[resolvedRoot.size()] == '/';
}

namespace {

// The number a temporary name ends in: one to nine digits.
bool isTemporaryNumber(std::string_view number) {
  return !number.empty() && number.size() <= 9 && number.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

bool isTemporaryFor(const std::string& entryName, const std::string& fileName) {
  const std::string_view stem = temporaryStem(fileName);
  std::string_view rest = entryName;
  if (!rest.starts_with('.') || rest.substr(1, stem.size()) != stem) return false;
  rest.remove_prefix(1 + stem.size());
  if (!rest.starts_with(kTemporaryMark)) return false;
  rest.remove_prefix(kTemporaryMark.size());
  return isTemporaryNumber(rest);
}

bool isProgramTemporary(std::string_view name) {
  const std::size_t mark = name.rfind(kTemporaryMark);
  if (!name.starts_with('.') || mark == std::string_view::npos || mark < 1) return false;
  return isTemporaryNumber(name.substr(mark + kTemporaryMark.size()));
}

void removeLeftoverTemporaries(const std::vector<std::string>& paths, std::time_t before) {
  std::map<std::string, std::set<std::string>> namesByDirectory;
  for (const std::string& path : paths) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) continue;
    namesByDirectory[slash == 0 ? "/" : path.substr(0, slash)].insert(path.substr(slash + 1));
  }
  for (const auto& [dir, names] : namesByDirectory) {
    std::vector<DirEntry> entries;
    try {
      entries = files().listDirectory(dir);
    } catch (const FileError&) {
      continue;
    }
    const std::string base = dir == "/" ? dir : dir + "/";
    for (const DirEntry& entry : entries) {
      if (!entry.hidden || entry.kind != EntryKind::File) continue;
      // The name up to the mark is the stem of the file it was written for.
      const auto mark = entry.name.rfind(kTemporaryMark);
      if (mark == std::string::npos || mark < 1) continue;
      const std::string stem = entry.name.substr(1, mark - 1);
      bool ours = false;
      for (auto name = names.lower_bound(stem); !ours && name != names.end() && name->starts_with(stem); ++name)
        ours = isTemporaryFor(entry.name, *name);
      if (!ours) continue;
      const std::optional<FileInfo> info = files().stat(base + entry.name);
      if (!info || info->modified >= before) continue;
      try {
        files().removeFile(base + entry.name);
      } catch (const FileError&) {
      }
    }
  }
}

bool matchesPattern(const std::string& name, const std::string& pattern) {
  if (matchesWildcard(pattern.c_str(), name.c_str())) return true;
  return lowerAscii(pattern) == "*.htm" && matchesWildcard("*.html", name.c_str());
}

}  // namespace vantiro
