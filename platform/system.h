#pragma once
// What the operating system gives besides files: the program directory,
// pauses, the uptime clock and the local time as text.

#include "common/text.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace vantiro {

// The directory of the executable with "/" appended; VANTIRO_HOME (or the
// value given to setProgramDirectory) overrides it.
std::string programDirectory();
void setProgramDirectory(const std::string& dir);

// Fixed pauses of the program; tests scale them (0 makes every pause instant).
void pauseMilliseconds(int ms);
void setPauseScale(double scale);

// Milliseconds since boot from a 64-bit clock.
std::int64_t uptimeMilliseconds();

// Local date and time in the form "2026-12-07 21:32:05".
Text localDateTimeText(std::time_t when);
Text nowText();

}  // namespace vantiro
