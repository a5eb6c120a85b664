#include "common/memory_need.h"

#include "common/page_error.h"
#include "platform/memory.h"

#include <optional>
#include <string>

namespace vantiro {
namespace {

// What working on any page takes besides its bytes: the program, its tables, buffers.
constexpr std::uint64_t kMemoryPerPage = 64 << 20;
constexpr std::uint64_t kAlwaysFits = 256 << 20;

}  // namespace

void refuseWhatCannotFit(std::uint64_t size, std::uint64_t memoryPerPageByte, std::string_view work) {
  const std::uint64_t need = size * memoryPerPageByte + kMemoryPerPage;
  if (need < kAlwaysFits) return;
  const std::optional<std::uint64_t> available = availableMemory();
  if (!available || need <= *available) return;
  throw PageError("页面太大, 内存不足: " + std::string(work) + "约需 " + std::to_string(need >> 20) + " MB, 只有 " +
                  std::to_string(*available >> 20) + " MB 可用");
}

}  // namespace vantiro
