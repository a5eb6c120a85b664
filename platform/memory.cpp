#include "platform/memory.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace vantiro {

void keepFreedMemoryForReuse() {
#if defined(M_MMAP_MAX) && defined(M_TRIM_THRESHOLD) && defined(M_TOP_PAD)  // the GNU allocator
  // Large blocks come from the heap rather than a mapping of their own (a
  // mapping is cleared anew on every use), and the heap keeps up to 256 MB
  // free at its top before it shrinks.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
}

}  // namespace vantiro
