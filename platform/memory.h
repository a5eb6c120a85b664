#pragma once
// How the process hands memory back to the system.

#include <cstdint>
#include <optional>

namespace vantiro {

// Keeps the memory the program frees for its next allocations instead of
// returning it to the system at once. A page is decoded into four bytes a
// character and cut into slots; without this every large page maps fresh
// memory that the system must clear page by page, which took about a third
// of the time of compressing a 10 MB page. Free memory above a few hundred
// megabytes is still returned. Call once, before the work starts.
void keepFreedMemoryForReuse();

// The memory this process may still take before the system runs short: the
// system's available memory, bounded by what the process's control group and
// its address-space limit leave. Nothing when none of them can be read.
std::optional<std::uint64_t> availableMemory();

}  // namespace vantiro
