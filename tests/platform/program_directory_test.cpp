#include "platform/program_directory.h"

#include "platform/absolute_path.h"
#include "platform/directory_lock.h"
#include "platform/file_service.h"
#include "platform/system.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace vantiro {
namespace {

using test::TempDir;
using test::writeBytes;

// Sets an environment variable (or unsets it for null) for the test's span.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Runs the test from `dir` and returns to where it was.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) : before_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~InDirectory() { std::filesystem::current_path(before_); }

 private:
  std::filesystem::path before_;
};

TEST(AbsolutePath, MadeAbsoluteByTextWithoutResolvingLinks) {
  TempDir dir;
  std::filesystem::create_directories(dir / "real");
  std::filesystem::create_directory_symlink(dir / "real", dir / "link");
  InDirectory here(dir / "link");
  ScopedEnv pwd("PWD", (dir / "link").c_str());  // as a shell that went through the link sets it
  const Text cwd = textPath(dir / "link");
  struct Case {
    const char32_t* path;
    Text absolute;
  };
  const Case cases[] = {
      {U"a.htm", cwd + U"/a.htm"},
      {U"./sub//b.htm", cwd + U"/sub/b.htm"},
      {U"sub/", cwd + U"/sub"},
      {U"../x.htm", cwd + U"/../x.htm"},  // ".." stays: through a link it names another file
      {U"/srv/./web/", U"/srv/web"},
      {U"/srv/web", U"/srv/web"},
      {U"/srv/.web/..", U"/srv/.web/.."},
      {U"//srv", U"/srv"},
      {U"/srv/.", U"/srv"},
      {U"/", U"/"},
      {U"", U""},
  };
  EXPECT_EQ(absolutePath(U"a.htm"), cwd + U"/a.htm") << "the link the user went through is kept";
  for (const Case& c : cases) EXPECT_EQ(absolutePath(c.path), c.absolute) << toUtf8(c.path);
}

TEST(DirectoryLock, OneHolderAtATimeAndWaitersGetItWhenReleased) {
  TempDir dir;
  TempDir other;
  auto first = DirectoryLock::take(dir.path(), false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(DirectoryLock::take(dir.path(), false), nullptr) << "a second holder is refused";
  EXPECT_NE(DirectoryLock::take(other.path(), false), nullptr) << "another directory is free";

  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    auto lock = DirectoryLock::take(dir.path(), true);
    taken = lock != nullptr;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(taken);
  first.reset();
  waiter.join();
  EXPECT_TRUE(taken);
  EXPECT_NE(DirectoryLock::take(dir.path(), false), nullptr) << "released with its holder";

  writeBytes(dir / "file", "x");
  EXPECT_THROW(DirectoryLock::take(dir / "file/", false), FileError);
}

TEST(ProgramDirectory, CreatedWhenMissingOrRefusedOnceWithTheReason) {
  TempDir base;
  writeBytes(base / "file", "x");
  struct Case {
    std::string home;
    bool usable;
  };
  const Case cases[] = {
      {base.path(), true},
      {base / "new/nested/home", true},
      {base / "file", false},             // a file, not a directory
      {base / "file/home", false},        // a file where a directory must be
  };
  for (const Case& c : cases) {
    setProgramDirectory(c.home);
    const std::optional<std::string> problem = prepareProgramDirectory();
    EXPECT_EQ(!problem, c.usable) << c.home << ": " << problem.value_or("");
    if (c.usable) {
      EXPECT_TRUE(std::filesystem::is_directory(c.home)) << c.home;
      if (c.home != base.path()) {
        EXPECT_EQ(std::filesystem::status(c.home).permissions(), std::filesystem::perms::owner_all) << "its owner's alone";
      }
    } else {
      EXPECT_NE(problem.value_or("").find(c.home), std::string::npos) << problem.value_or("");
    }
  }
  setProgramDirectory("");
}

TEST(ProgramDirectory, LockRefusesASecondProgramPlainly) {
  TempDir home;
  setProgramDirectory(home.path());
  ProgramDirectoryLock first = lockProgramDirectory(false);
  ASSERT_NE(first.lock, nullptr) << first.refusal;
  ProgramDirectoryLock second = lockProgramDirectory(false);
  EXPECT_EQ(second.lock, nullptr);
  EXPECT_TRUE(second.busy);
  EXPECT_EQ(second.refusal, "另一个程序正在使用程序目录 " + home.path() + "，请等它结束后再试");
  setProgramDirectory("");
}

TEST(ProgramDirectory, TheExecutablesDirectoryOnlyForAPortableCopyThatSaysSo) {
  TempDir base;
  ScopedEnv xdg("XDG_DATA_HOME", (base / "data").c_str());
  struct Case {
    const char* what;
    const char* file;  // put beside the executable; null for none
    bool portable;
  };
  const Case cases[] = {
      {"a build tree or an installation", nullptr, false},
      {"the marker file", "vantiro.portable", true},
      {"settings already there", "peizi.dll", true},
      {"other program files do not count", "bak.kbq", false},
  };
  for (const Case& c : cases) {
    const std::string exeDir = base / c.what;
    std::filesystem::create_directories(exeDir);
    if (c.file) writeBytes(exeDir + "/" + c.file, "");
    EXPECT_EQ(programDirectoryBeside(exeDir), c.portable ? exeDir + "/" : base / "data/vantiro/") << c.what;
  }
}

TEST(ProgramDirectory, UserDataDirectoryFollowsTheDesktopsVariables) {
  struct Case {
    const char* xdg;
    const char* home;
    std::string directory;
  };
  const Case cases[] = {
      {"/data", "/home/u", "/data/vantiro/"},
      {"/data/", "/home/u", "/data/vantiro/"},
      {"relative", "/home/u", "/home/u/.local/share/vantiro/"},  // a relative value is ignored
      {nullptr, "/home/u", "/home/u/.local/share/vantiro/"},
  };
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(userDataDirectory(), c.directory) << (c.xdg ? c.xdg : "unset");
  }
}

}  // namespace
}  // namespace vantiro
