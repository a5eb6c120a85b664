#include "platform/absolute_path.h"

#include "platform/file_service.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace vantiro {
namespace {

bool sameDirectory(const char* a, const char* b) {
  struct ::stat sa{}, sb{};
  return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// The current directory as the user reached it: the shell's PWD while it
// still is this directory (it keeps the links the user went through), else
// the directory as the system names it.
Text currentDirectory() {
  if (const char* pwd = std::getenv("PWD"); pwd && pwd[0] == '/' && sameDirectory(pwd, "."))
    return textPath(pwd);
  const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
  return cwd ? textPath(cwd.get()) : Text(U"/");
}

// Whether `path` is absolute with no empty or "." component and no trailing
// "/" (or is "/" itself): made absolute, it stays as it is. Paths the
// program keeps are so, and a run asks for every page.
bool isAbsoluteAsKept(TextView path) {
  if (path.empty() || path.front() != U'/') return false;
  if (path.size() == 1) return true;
  for (std::size_t slash = 0; slash != npos; slash = path.find(U'/', slash + 1)) {
    const TextView rest = path.substr(slash + 1);
    if (rest.empty() || rest.front() == U'/') return false;
    if (rest.front() == U'.' && (rest.size() == 1 || rest[1] == U'/')) return false;
  }
  return true;
}

}  // namespace

Text absolutePath(TextView path) {
  if (path.empty()) return {};
  if (isAbsoluteAsKept(path)) return Text(path);
  Text joined = path.front() == U'/' ? Text(path) : currentDirectory() + U"/" + Text(path);
  Text result;
  for (std::size_t pos = 0; pos <= joined.size();) {
    std::size_t slash = joined.find(U'/', pos);
    if (slash == npos) slash = joined.size();
    const TextView component = TextView(joined).substr(pos, slash - pos);
    if (!component.empty() && component != U".") result.append(U"/").append(component);
    pos = slash + 1;
  }
  return result.empty() ? Text(U"/") : result;
}

}  // namespace vantiro
