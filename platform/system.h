#pragma once
// What the operating system gives besides files: the program directory,
// pauses, the uptime clock and the local time as text.

#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace vantiro {

// The program directory, ending in "/": the value given to
// setProgramDirectory; else VANTIRO_HOME; else the executable's directory
// when it is a portable copy that says so; else the user's data directory
// (programDirectoryBeside in platform/program_directory.h). Nothing is
// created here; prepareProgramDirectory readies it.
std::string programDirectory();
void setProgramDirectory(const std::string& dir);

// Fixed pauses of the program; tests scale them (0 makes every pause instant).
void pauseMilliseconds(int ms);
void setPauseScale(double scale);

// Milliseconds since boot from a 64-bit clock.
std::int64_t uptimeMilliseconds();

// The processor cores the program may use, at least 1: how many pages a run
// works on at once unless told otherwise.
std::size_t processorCores();

// Makes a write to a pipe or socket whose reader is gone fail (EPIPE) instead
// of ending the process, so that a command whose output is cut off can finish
// the pages it has begun and clean up before it stops.
void ignoreBrokenPipes();

// Local date and time in the form "2026-12-07 21:32:05".
Text localDateTimeText(std::time_t when);
Text nowText();

}  // namespace vantiro
