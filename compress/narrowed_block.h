#pragma once
// Eight characters of a page narrowed to 16 bits each, so that a pass tests a
// block of them against ASCII characters at once. Narrowing saturates: a
// character above 16 bits becomes 0x7FFF, and one at or above 0x80000000 (a
// negative number to the instruction) becomes 0x8000, so that neither is
// taken for one of the characters looked for.

#if defined(__SSE2__)
#include <emmintrin.h>

namespace vantiro {

inline __m128i narrowed8(const char32_t* at) {
  return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 4)));
}

}  // namespace vantiro
#endif
