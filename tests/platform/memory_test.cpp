#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vantiro {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kOwnAllocator = false;  // the sanitizer's allocator keeps its own books
#else
constexpr bool kOwnAllocator = true;
#endif

TEST(Memory, ALargeFreedBlockStaysWithTheProcess) {
#if defined(__GLIBC__)
  if (!kOwnAllocator) GTEST_SKIP() << "the sanitizer replaces the allocator";
  keepFreedMemoryForReuse();
  constexpr std::size_t kSize = 48u << 20;  // a 10 MB page decoded and more
  const std::size_t mappedBefore = mallinfo2().hblkhd;
  void* block = std::malloc(kSize);
  ASSERT_NE(block, nullptr);
  std::memset(block, 1, kSize);
  EXPECT_EQ(mallinfo2().hblkhd, mappedBefore) << "the block got a mapping of its own";
  std::free(block);
  EXPECT_GE(mallinfo2().fordblks, kSize) << "the freed block went back to the system";
#else
  GTEST_SKIP() << "only the GNU allocator is tuned";
#endif
}

}  // namespace
}  // namespace vantiro
