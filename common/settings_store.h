#pragma once
// The settings file "peizi.dll" in the program directory: named text values
// kept between runs in fixed-width fields.
//
// Layout (byte offsets): a 100-byte count field at 0 holding the number of
// slots N as " N"; slot k has its key field at 128 + 256*k and its value field
// at 256 + 256*k, 100 bytes each, left-aligned in the code page and padded with
// blanks. Slot 0 is never filled, so the first key goes to slot 1 and a file
// with m keys is 356 + 256*m bytes long. Bytes between fields are zero where
// the file was extended over them.
//
// Every call reads the file, does its work and is done: nothing is cached.

#include "platform/text.h"

#include <cstddef>
#include <optional>
#include <string>

namespace vantiro {

inline constexpr std::size_t kSettingFieldBytes = 100;

// The settings file's path: programDirectory() + "peizi.dll".
std::string settingsFilePath();

// Stores `value` under `key` (exact, case-sensitive key): an existing slot has
// only its 100-byte value field replaced; an absent key is appended as a new
// slot after the last one and the count field is raised by one. A text whose
// code-page form is longer than 100 bytes is cut at the last character that
// fits, never inside a double-byte character. The file is rewritten through
// the atomic replacement, so a failed write leaves it as it was. Creates the
// file when it is missing. Throws FileError on input/output failures.
void WriteSetting(TextView key, TextView value);

// The value stored under `key`, with leading and trailing blanks removed, or
// nothing when the key is absent (the caller's default then applies). A
// missing file is created empty. A damaged file (short, cut inside a field,
// garbage count) is read as far as it goes. Throws FileError on input/output
// failures.
std::optional<Text> ReadSetting(TextView key);

// The same for a value that is a path: stored as the file system's bytes
// (UTF-8, escapes as their bytes) rather than in the code page; keys stay in
// the code page.
void WritePathSetting(TextView key, TextView path);
std::optional<Text> ReadPathSetting(TextView key);

}  // namespace vantiro
