#pragma once
// A file service that passes everything to the real file system except the
// faults a test arms: a disk that fills up after N bytes, a directory that
// cannot be written, a file that vanishes or cannot be read. Serves several
// threads: the faults are looked at and armed under one lock (set the fields
// before a run starts; during a run, clear them with clearFaults).

#include "platform/file_service.h"

#include <functional>
#include <mutex>
#include <set>
#include <string>

namespace vantiro::test {

class FaultyFileService final : public FileService {
 public:
  // Bytes that may still be written (appends and atomic writes) before the
  // disk is full; negative means no limit. A write that crosses the limit
  // writes what fits and then fails, as a full disk does.
  long long bytesUntilFull = -1;
  std::set<std::string> unwritableDirectories;  // no file may be created inside (prefix match)
  std::set<std::string> vanished;               // behave as if these paths did not exist
  std::set<std::string> unreadable;             // exist, but reading fails
  // Called before each operation with its name and path; may throw to inject a fault there.
  std::function<void(const std::string& operation, const std::string& path)> beforeOperation;

  std::optional<FileInfo> stat(const std::string& path) override;
  std::string readFile(const std::string& path) override;
  std::string readRange(const std::string& path, std::uint64_t offset, std::uint64_t length) override;
  void writeFileAtomic(const std::string& path, std::string_view bytes) override;
  // Fails where writeFileAtomic would fail to create the temporary file.
  using FileService::stageFile;
  std::unique_ptr<StagedFile> stageFile(const std::string& path, std::string_view bytes,
                                        const StagedTraits& traits) override;
  void syncFile(const std::string& path) override;
  std::uint64_t appendFile(const std::string& path, std::string_view bytes) override;
  void truncateFile(const std::string& path, std::uint64_t size) override;
  void removeFile(const std::string& path) override;
  void renameNoReplace(const std::string& from, const std::string& to) override;
  void createDirectory(const std::string& path) override;
  std::vector<DirEntry> listDirectory(const std::string& dir) override;
  bool servesThreads() const override { return true; }

  // Disarms every fault, also while other threads use the service.
  void clearFaults();

 private:
  void check(const std::string& operation, const std::string& path);
  void checkWritable(const std::string& path);
  // How many of `wanted` bytes fit before the disk is full.
  std::size_t room(std::size_t wanted);
  bool isVanished(const std::string& path);
  bool isUnreadable(const std::string& path);

  // Recursive: a test's beforeOperation may call the service again.
  std::recursive_mutex mutex_;
};

}  // namespace vantiro::test
