#pragma once
// A file service that behaves like the real one except for the steps a test
// tells it to fail: writes into chosen paths, or every write after a count.

#include "platform/file_service.h"

#include <string>

namespace vantiro::test {

class FailingFiles final : public FileService {
 public:
  // Paths (or path endings) whose appends or whole-file writes fail.
  std::string failAppendTo;
  std::string failWriteTo;

  std::optional<FileInfo> stat(const std::string& path) override { return real().stat(path); }
  std::string readFile(const std::string& path) override { return real().readFile(path); }
  std::string readRange(const std::string& path, std::uint64_t offset, std::uint64_t length) override {
    return real().readRange(path, offset, length);
  }
  void writeFileAtomic(const std::string& path, std::string_view bytes) override {
    if (matches(path, failWriteTo)) throw FileError("磁盘已满");
    real().writeFileAtomic(path, bytes);
  }
  std::uint64_t appendFile(const std::string& path, std::string_view bytes) override {
    if (matches(path, failAppendTo)) {
      // Half of the bytes reach the disk before the failure.
      real().appendFile(path, bytes.substr(0, bytes.size() / 2));
      throw FileError("磁盘已满");
    }
    return real().appendFile(path, bytes);
  }
  void truncateFile(const std::string& path, std::uint64_t size) override { real().truncateFile(path, size); }
  void removeFile(const std::string& path) override { real().removeFile(path); }
  void renameNoReplace(const std::string& from, const std::string& to) override { real().renameNoReplace(from, to); }
  void createDirectory(const std::string& path) override { real().createDirectory(path); }
  std::vector<DirEntry> listDirectory(const std::string& dir) override { return real().listDirectory(dir); }

 private:
  static FileService& real() { return realFileService(); }
  static bool matches(const std::string& path, const std::string& ending) {
    return !ending.empty() && path.size() >= ending.size() && path.ends_with(ending);
  }
};

}  // namespace vantiro::test
