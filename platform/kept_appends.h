#pragma once
// Files a run appends to for every page (the backup store's data and index),
// kept open from one append to the next while the run lasts. Each append
// still looks its path up once and uses the kept descriptor only while the
// path names the same file: a file removed, replaced or renamed meanwhile is
// opened anew, so the bytes always land in the file the path names. Opening,
// checking and closing a file for every append would cost four more system
// calls a page.

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

namespace vantiro {

class KeptAppends {
 public:
  KeptAppends() = default;
  KeptAppends(const KeptAppends&) = delete;
  KeptAppends& operator=(const KeptAppends&) = delete;
  ~KeptAppends() { closeAll(); }

  // Whether descriptors are kept; turning it off closes those kept.
  void keep(bool on);
  bool keeping() const;
  // The kept descriptor of `path` when the path still names its file (device
  // `device`, inode `inode`, as a look-up just found); -1 otherwise, and a
  // descriptor kept for a file the path no longer names is closed.
  int descriptorFor(const std::string& path, dev_t device, ino_t inode);
  // Keeps `fd`, open on the file `path` names, for the next appends; closes it
  // when not keeping. Takes the descriptor over either way.
  void keepOpen(const std::string& path, int fd, dev_t device, ino_t inode);
  // Closes the descriptor kept for `path` (an append through it failed).
  void forget(const std::string& path);
  void closeAll();

 private:
  struct Kept {
    std::string path;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
  };
  // A run appends to two files; a few more leave room without growing a list
  // of open files without bound.
  static constexpr std::size_t kMostKept = 4;

  mutable std::mutex mutex_;
  bool keeping_ = false;
  std::vector<Kept> kept_;  // the least recently used first
};

}  // namespace vantiro
