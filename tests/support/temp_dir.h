#pragma once
// A fresh directory for one test, removed with everything in it afterwards.

#include <string>

namespace vantiro::test {

class TempDir {
 public:
  TempDir();
  // A directory under `parent` (ending in "/"), or the usual place when that is not there.
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory with a trailing "/".
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);

}  // namespace vantiro::test
