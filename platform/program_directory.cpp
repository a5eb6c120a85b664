#include "platform/program_directory.h"

#include "platform/file_service.h"
#include "platform/system.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vantiro {
namespace {

std::string& overrideDirectory() {
  static std::string dir;
  return dir;
}

std::string withSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string executableDirectory() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  const std::string exe(buf, static_cast<std::size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) return user->pw_dir;
  return "/";
}

bool writableDirectory(const std::string& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; }

std::string defaultProgramDirectory() {
  static const std::string dir = programDirectoryBeside(executableDirectory());
  return dir;
}

// Created for its owner alone: the backup store inside holds the bytes of
// every page saved, private ones too.
void createMissingDirectories(const std::string& dir) {
  for (std::size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1)) {
    const std::string prefix = dir.substr(0, slash);
    if (pathExists(prefix)) continue;
    files().createDirectory(prefix);
    if (::chmod(prefix.c_str(), 0700) != 0) throw FileError("无法设置目录权限 " + prefix + ": " + reasonText(errno));
  }
}

// A store written by an older program may be readable by others: it is made
// its owner's alone, as a new one is created.
void closeBackupStore(const std::string& dir) {
  for (const char* name : {"bak.kbq", "bak.dat"}) {
    struct ::stat st{};
    const std::string path = dir + name;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
      ::chmod(path.c_str(), st.st_mode & 0700);
  }
}

void copyIfMissing(const std::string& from, const std::string& to) {
  if (pathExists(to) || !isNormalFile(from)) return;
  files().writeFileAtomic(to, files().readFile(from));
}

}  // namespace

std::string programDirectory() {
  if (!overrideDirectory().empty()) return withSlash(overrideDirectory());
  if (const char* home = std::getenv("VANTIRO_HOME"); home && *home) return withSlash(home);
  return defaultProgramDirectory();
}

void setProgramDirectory(const std::string& dir) { overrideDirectory() = dir; }

std::string userDataDirectory() {
  // A relative XDG_DATA_HOME is invalid and ignored, as the desktop's rules say.
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::string base = data && data[0] == '/' ? std::string(data) : homeDirectory() + "/.local/share";
  return withSlash(base) + "vantiro/";
}

std::string programDirectoryBeside(const std::string& executableDir) {
  const std::string dir = withSlash(executableDir);
  const bool portable = pathExists(dir + kPortableMarker) || isNormalFile(dir + "peizi.dll");
  return portable && writableDirectory(dir) ? dir : userDataDirectory();
}

std::string shippedDataDirectory() {
  static const std::string dir = [] {
    const std::string shipped = executableDirectory() + "../share/vantiro/";
    return isDirectory(shipped) ? shipped : std::string();
  }();
  return dir;
}

std::optional<std::string> prepareProgramDirectory() {
  const std::string dir = programDirectory();
  try {
    createMissingDirectories(dir);
    if (!isDirectory(dir)) return "无法使用程序目录 " + dir + ": " + reasonText(ENOTDIR);
    if (!writableDirectory(dir)) return "无法使用程序目录 " + dir + ": " + reasonText(errno);
    closeBackupStore(dir);
    const std::string shipped = shippedDataDirectory();
    if (!shipped.empty() && dir == userDataDirectory()) {
      copyIfMissing(shipped + "rjyl.dat", dir + "rjyl.dat");
      if (isNormalFile(shipped + "help/readme.htm")) {
        createMissingDirectories(dir + "help/");
        copyIfMissing(shipped + "help/readme.htm", dir + "help/readme.htm");
      }
    }
  } catch (const FileError& e) {
    return "无法使用程序目录 " + dir + ": " + e.what();
  }
  return std::nullopt;
}

ProgramDirectoryLock lockProgramDirectory(bool wait) {
  const std::string dir = programDirectory();
  ProgramDirectoryLock result;
  try {
    result.lock = DirectoryLock::take(dir, wait);
    result.busy = !result.lock;
    if (result.busy) result.refusal = "另一个程序正在使用程序目录 " + dir + "，请等它结束后再试";
  } catch (const FileError& e) {
    result.refusal = e.what();
  }
  return result;
}

}  // namespace vantiro
