#include "tests/support/faulty_file_service.h"

namespace vantiro::test {

void FaultyFileService::clearFaults() {
  const std::lock_guard lock(mutex_);
  bytesUntilFull = -1;
  unwritableDirectories.clear();
  vanished.clear();
  unreadable.clear();
  beforeOperation = nullptr;
}

bool FaultyFileService::isVanished(const std::string& path) {
  const std::lock_guard lock(mutex_);
  return vanished.count(path) != 0;
}

bool FaultyFileService::isUnreadable(const std::string& path) {
  const std::lock_guard lock(mutex_);
  return unreadable.count(path) != 0;
}

void FaultyFileService::check(const std::string& operation, const std::string& path) {
  const std::lock_guard lock(mutex_);
  if (beforeOperation) beforeOperation(operation, path);
  if (vanished.count(path)) throw FileError("文件不存在 " + path);
}

void FaultyFileService::checkWritable(const std::string& path) {
  const std::lock_guard lock(mutex_);
  for (const auto& dir : unwritableDirectories)
    if (path.rfind(dir, 0) == 0) throw FileError("目录不可写 " + path);
}

std::size_t FaultyFileService::room(std::size_t wanted) {
  const std::lock_guard lock(mutex_);
  if (bytesUntilFull < 0) return wanted;
  auto fits = static_cast<std::size_t>(bytesUntilFull) < wanted ? static_cast<std::size_t>(bytesUntilFull) : wanted;
  bytesUntilFull -= static_cast<long long>(fits);
  return fits;
}

std::optional<FileInfo> FaultyFileService::stat(const std::string& path) {
  if (isVanished(path)) return std::nullopt;
  return realFileService().stat(path);
}

std::string FaultyFileService::readFile(const std::string& path) {
  check("readFile", path);
  if (isUnreadable(path)) throw FileError("无法读取文件 " + path);
  return realFileService().readFile(path);
}

std::string FaultyFileService::readRange(const std::string& path, std::uint64_t offset, std::uint64_t length) {
  check("readRange", path);
  if (isUnreadable(path)) throw FileError("无法读取文件 " + path);
  return realFileService().readRange(path, offset, length);
}

void FaultyFileService::writeFileAtomic(const std::string& path, std::string_view bytes) {
  check("writeFileAtomic", path);
  checkWritable(path);
  std::size_t fits = room(bytes.size());
  // The temporary file takes the bytes that fit; the rename never happens, so
  // the old file stays whole, as with the real service.
  if (fits < bytes.size()) throw FileError("磁盘已满 " + path);
  realFileService().writeFileAtomic(path, bytes);
}

std::unique_ptr<StagedFile> FaultyFileService::stageFile(const std::string& path, std::string_view bytes,
                                                         const StagedTraits& traits) {
  check("stageFile", path);
  checkWritable(path);
  return FileService::stageFile(path, bytes, traits);
}

void FaultyFileService::syncFile(const std::string& path) {
  check("syncFile", path);
  realFileService().syncFile(path);
}

std::uint64_t FaultyFileService::appendFile(const std::string& path, std::string_view bytes) {
  check("appendFile", path);
  checkWritable(path);
  std::size_t fits = room(bytes.size());
  std::uint64_t before = realFileService().appendFile(path, bytes.substr(0, fits));
  if (fits < bytes.size()) throw FileError("磁盘已满 " + path);
  return before;
}

void FaultyFileService::truncateFile(const std::string& path, std::uint64_t size) {
  check("truncateFile", path);
  realFileService().truncateFile(path, size);
}

void FaultyFileService::removeFile(const std::string& path) {
  check("removeFile", path);
  checkWritable(path);
  realFileService().removeFile(path);
}

void FaultyFileService::renameNoReplace(const std::string& from, const std::string& to) {
  check("renameNoReplace", from);
  checkWritable(to);
  realFileService().renameNoReplace(from, to);
}

void FaultyFileService::createDirectory(const std::string& path) {
  check("createDirectory", path);
  checkWritable(path);
  realFileService().createDirectory(path);
}

std::vector<DirEntry> FaultyFileService::listDirectory(const std::string& dir) {
  check("listDirectory", dir);
  return realFileService().listDirectory(dir);
}

}  // namespace vantiro::test
