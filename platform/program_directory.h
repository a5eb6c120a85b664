#pragma once
// The program directory (see programDirectory in platform/system.h): readying
// it before a program touches any page, and locking it while a run, a restore
// or a search-and-replace writes it.

#include "platform/directory_lock.h"

#include <memory>
#include <optional>
#include <string>

namespace vantiro {

// The user's data directory for the program: $XDG_DATA_HOME/vantiro/, by
// default ~/.local/share/vantiro/.
std::string userDataDirectory();

// The file that makes the executable's directory a portable copy's program
// directory: settings, lists and backups then live beside the executable.
inline constexpr const char* kPortableMarker = "vantiro.portable";

// The program directory of an executable in `executableDir` when neither
// setProgramDirectory nor VANTIRO_HOME names one: that directory when it is a
// portable copy that says so (kPortableMarker, or a settings file "peizi.dll"
// already there) and may be written; otherwise userDataDirectory(). So the GUI
// and the CLI of one build tree, or of one installation, share a directory.
std::string programDirectoryBeside(const std::string& executableDir);

// Where the shipped data (the tips and the help page) lies: share/vantiro
// beside the executable's directory, which is where an installation and a
// build tree both keep it. Empty when there is none.
std::string shippedDataDirectory();

// Readies the program directory: creates it and its missing parents, checks
// that it is a directory the program may write, and for the user's data
// directory copies the shipped tips and help page into it when they are not
// there yet. Returns why the directory cannot be used (to be reported once,
// before any page is touched); nothing when it is ready.
std::optional<std::string> prepareProgramDirectory();

// The lock a run, a restore or a search-and-replace holds on the program
// directory for as long as it writes there.
struct ProgramDirectoryLock {
  std::unique_ptr<DirectoryLock> lock;
  bool busy = false;    // another program holds it
  std::string refusal;  // why it is not held (another program uses the directory); empty when held
};
ProgramDirectoryLock lockProgramDirectory(bool wait);

}  // namespace vantiro
