#pragma once
// The switches that steer a compression run, handed to the core as a value.

#include "platform/text.h"

#include <cstdint>

namespace vantiro {

// How far the compressor goes. Standard: the rules every page has always
// had. Further: also what HTML lets a page leave out (optional tags,
// comments, quotes, default attribute values) and the white space and
// comments CSS ignores; opt-in.
enum class CompressionLevel : std::uint8_t { Standard = 1, Further = 2 };

struct CompressionOptions {
  // Each switch is named for what it does; the comment names the main
  // window's control that sets it.
  bool mirror = false;                  // Check1: compress the site under sourceDirectory into destinationDirectory
  bool compressScripts = false;         // Check2: compress script bodies
  bool offerRestoreAfterError = false;  // Check3: ask whether to write a page back after an error
  bool requireHtml = false;             // Check4: refuse pages without "<html>" / "<HTML>" (the hint's meaning)
  bool emptyListAtStart = false;        // Check5: empty the task list when a run starts
  bool preformatParagraphs = false;     // Check6: turn text-heavy paragraphs into preformatted blocks
  bool breakLinesAfterTags = false;     // Check7: line break after every tag and non-empty text
  bool appendToBackup = false;          // Check8: append to the backup store instead of clearing it
  Text sourceDirectory;                 // text1: site root directory
  Text destinationDirectory;            // text2: compression directory
  bool runWindowOnTop = false;          // menu item com11: keep the run window on top
  CompressionLevel level = CompressionLevel::Standard;  // Check9: Further when ticked
  bool mirrorPagesOnly = false;  // Check10: a mirror gets the pages only, not the site's other files
};

}  // namespace vantiro
