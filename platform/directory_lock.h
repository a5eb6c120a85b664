#pragma once
// An exclusive lock on a directory: an flock on a lock file in it. One
// program at a time holds it, so two programs never interleave their writes
// to the files of the directory. The lock goes with the process: a program
// that ends, however it ends, lets go of it.

#include <memory>
#include <string>

namespace vantiro {

inline constexpr const char* kLockFileName = "vantiro.lock";

class DirectoryLock {
 public:
  ~DirectoryLock();
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  // Takes the lock of `dir` (ending in "/"), creating its lock file. With
  // `wait` it waits for the holder to let go; without, it returns null while
  // another holds it. Two takes in one process exclude each other too. Throws
  // FileError when the lock file cannot be opened or locked.
  static std::unique_ptr<DirectoryLock> take(const std::string& dir, bool wait);

 private:
  explicit DirectoryLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace vantiro
