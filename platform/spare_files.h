#pragma once
// Files that replacing a page set aside, written over for the next pages of
// the same directory instead of creating new files.
//
// Creating a file is the slow part of replacing a page on a file system that
// hunts for an inode not freed lately, and freeing the replaced file costs as
// much again. So while a run keeps spares, a page is put in place by swapping
// it with its new version: the old file stays, under the temporary name, and
// the next page staged in that directory is written into it. A spare is
// written over only while nobody else has it open (a reader of the old page
// keeps reading the old page) and when it already has the owner, group and
// mode the new file needs, so nothing about the page changes but its bytes.
// And only once the swap that set it aside is durable (`settle`): until then
// a power cut may give the page its old file back, which must still hold the
// page's old bytes then, not another page's.

#include <sys/types.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vantiro {

// What a new file must have for a spare to become it.
struct SpareWanted {
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;  // permission bits
};

// An opened spare, and the name it has now.
struct Spare {
  int fd = -1;
  std::string path;
};

class SpareFiles {
 public:
  ~SpareFiles() { removeAll(); }

  // Whether spares are kept; turning it off removes those kept.
  void keep(bool on);
  bool keeping() const;
  // `path` (a temporary name beside the page it replaced) now holds the
  // replaced file. Removed at once when not keeping, or when its directory
  // has enough spares already; otherwise taken only after the next settle.
  void setAside(const std::string& directory, const std::string& path);
  // Syncs the directories of the files set aside since the last call, which
  // makes the swaps that set them aside durable, and lets them be taken.
  // Spares of a directory that cannot be synced are removed instead.
  void settle();
  // A spare of `directory` opened for writing that can become a file with
  // `wanted`, or nothing; spares that cannot are removed.
  std::optional<Spare> take(const std::string& directory, const SpareWanted& wanted);
  void removeAll();

 private:
  static constexpr std::size_t kMostPerDirectory = 64;

  mutable std::mutex mutex_;
  bool keeping_ = false;
  std::map<std::string, std::vector<std::string>> spares_;
  std::map<std::string, std::vector<std::string>> unsettled_;  // set aside since the last settle
};

}  // namespace vantiro
