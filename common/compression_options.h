#pragma once
// The switches that steer a compression run, handed to the core as a value.

#include "platform/text.h"

namespace vantiro {

struct CompressionOptions {
  bool Check1 = false;  // compress the site under text1 into text2
  bool Check2 = false;  // compress script bodies
  bool Check3 = false;  // ask whether to write a page back after an error
  bool Check4 = false;  // refuse pages without "<html>" / "<HTML>" (the hint's meaning)
  bool Check5 = false;  // empty the task list when a run starts
  bool Check6 = false;  // turn text-heavy paragraphs into preformatted blocks
  bool Check7 = false;  // line break after every tag and non-empty text
  bool Check8 = false;  // append to the backup store instead of clearing it
  Text text1;           // site root directory
  Text text2;           // compression directory
  bool com11 = false;   // keep the run window on top
};

}  // namespace vantiro
