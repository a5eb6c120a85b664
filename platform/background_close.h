#pragma once
// Closing file descriptors off the calling thread.

namespace vantiro {

// Closes `fd` on a thread of its own. The last close of a file that was
// replaced frees its blocks, and on a file system that discards freed blocks
// at once that waits for the disk; a run should not wait with it. When many
// descriptors are waiting already, `fd` is closed here. Descriptors still
// waiting when the process ends are closed then.
void closeInBackground(int fd);

}  // namespace vantiro
