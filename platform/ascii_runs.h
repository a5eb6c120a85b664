#pragma once
// Moving runs of ASCII characters between a page's bytes and its 32-bit
// characters a block at a time. Pages are mostly ASCII.

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro::ascii {

#if defined(__SSE2__)
// Writes the 16 bytes of `block` as 16 characters.
inline void widen16(__m128i block, char32_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_unpacklo_epi8(block, zero), hi = _mm_unpackhi_epi8(block, zero);
  auto* o = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(o, _mm_unpacklo_epi16(lo, zero));
  _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(lo, zero));
  _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(hi, zero));
  _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(hi, zero));
}
#endif

// Widens the leading ASCII bytes of in[0, n) into out, which has room for n
// characters; returns how many it widened. It stops at the first byte above
// ASCII, or fewer than 16 bytes before the end, which the caller takes on.
// Past what it returns, out may hold more of the block it stopped in.
inline std::size_t widenRun(const char* in, std::size_t n, char32_t* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 32 <= n; i += 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 16));
    if (_mm_movemask_epi8(_mm_or_si128(a, b)) != 0) break;  // a byte with its high bit set
    widen16(a, out + i);
    widen16(b, out + i + 16);
  }
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    widen16(a, out + i);
    if (const int high = _mm_movemask_epi8(a); high != 0) return i + static_cast<std::size_t>(__builtin_ctz(high));
  }
#else
  (void)in, (void)n, (void)out;
#endif
  return i;
}

}  // namespace vantiro::ascii
