#pragma once
// Whether a page can be worked on in the memory the system has left.

#include <cstdint>
#include <string_view>

namespace vantiro {

// Throws PageError when working on a page of `size` bytes, which takes about
// `memoryPerPageByte` bytes for each of its bytes plus a constant, needs more
// than the memory left, so that the page fails with a reason ("页面太大, 内存
// 不足: <work>约需 …") instead of the system ending the program. Pages below a
// few hundred megabytes of need are never checked: the system is not asked
// for every page.
void refuseWhatCannotFit(std::uint64_t size, std::uint64_t memoryPerPageByte, std::string_view work);

}  // namespace vantiro
