#include "platform/directory_lock.h"

#include "platform/file_service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace vantiro {
namespace {

[[noreturn]] void fail(const char* what, const std::string& path, int error) {
  throw FileError(std::string(what) + " " + path + ": " + reasonText(error));
}

}  // namespace

DirectoryLock::~DirectoryLock() { ::close(fd_); }

std::unique_ptr<DirectoryLock> DirectoryLock::take(const std::string& dir, bool wait) {
  const std::string path = dir + kLockFileName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) fail("无法打开文件", path, errno);
  std::unique_ptr<DirectoryLock> lock(new DirectoryLock(fd));
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
  } while (result != 0 && errno == EINTR);
  if (result == 0) return lock;
  if (errno == EWOULDBLOCK) return nullptr;
  fail("无法锁定文件", path, errno);
}

}  // namespace vantiro
