#pragma once
// Why a page of a run was not compressed, in words that tell the user what to
// do about it. The run window's reason column and the command line's rows
// show these.

#include "compress/compression_run.h"
#include "platform/text.h"

namespace vantiro {

// What the compressor appended to a failed row's path after "|" (a marker or
// the reason as found); empty for a row that did not fail.
Text recordedFailure(const RunRow& row);

// What the compressor recorded for a failed page (a marker or a reason), in
// words that say what to do. Reasons not known here (the system's words on a
// file error) come back as they are.
Text explainFailure(TextView recorded);

// The reason row `row` shows: for a page that failed or was not there, what
// happened and what to do (explainFailure); empty for a page that was compressed.
Text failureReason(const RunRow& row);

}  // namespace vantiro
