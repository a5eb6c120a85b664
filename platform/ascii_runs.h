#pragma once
// Moving runs of ASCII characters between a page's bytes and its 32-bit
// characters a block at a time. Pages are mostly ASCII, and what the
// compressor writes comes in many short pieces (a tag, the text between two
// tags), so these are built for both: long runs go 16 or 32 characters a
// step, a short piece in one or two overlapping blocks.

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro::ascii {

#if defined(__SSE2__)
inline __m128i load4(const char32_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }

// Each lane all ones where the character is ASCII.
inline __m128i asciiLanes(__m128i chars) {
  return _mm_cmpeq_epi32(_mm_and_si128(chars, _mm_set1_epi32(static_cast<int>(0xFFFFFF80u))), _mm_setzero_si128());
}

// Whether the characters that packed to `words` (to 16 bits, signed
// saturation) and on to `bytes` (to 8 bits, unsigned saturation) were all
// ASCII. One from 0x80 on leaves a high bit set: in its byte, or, from
// 0x80000000 on (negative as a 32-bit number, so its byte is 0), in its word.
inline bool packedAscii(__m128i words, __m128i bytes) { return _mm_movemask_epi8(_mm_or_si128(words, bytes)) == 0; }

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

// The characters at `at`, 4, 8 or 16, written as bytes to `out` when all are
// ASCII; false, and nothing written, when one is not.
inline bool narrow4(const char32_t* at, char* out) {
  const __m128i a = load4(at);
  const __m128i words = _mm_packs_epi32(a, a), bytes = _mm_packus_epi16(words, words);
  if (!packedAscii(words, bytes)) return false;
  const int four = _mm_cvtsi128_si32(bytes);
  std::memcpy(out, &four, 4);
  return true;
}
inline bool narrow8(const char32_t* at, char* out) {
  const __m128i words = _mm_packs_epi32(load4(at), load4(at + 4)), bytes = _mm_packus_epi16(words, words);
  if (!packedAscii(words, bytes)) return false;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
  return true;
}
inline bool narrow16(const char32_t* at, char* out) {
  const __m128i low = _mm_packs_epi32(load4(at), load4(at + 4));
  const __m128i high = _mm_packs_epi32(load4(at + 8), load4(at + 12));
  const __m128i bytes = _mm_packus_epi16(low, high);
  if (!packedAscii(_mm_or_si128(low, high), bytes)) return false;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
  return true;
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

// Narrows the leading ASCII characters of text[0, n) to bytes at out, which
// has room for n bytes; returns how many. Past what it returns, out may hold
// bytes of no use up to out + n.
inline std::size_t narrowRun(const char32_t* text, std::size_t n, char* out) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= n; i += 8) {
    const __m128i a = load4(text + i), b = load4(text + i + 4);
    const __m128i words = _mm_packs_epi32(a, b);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words));
    const auto ascii = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi32(asciiLanes(a), asciiLanes(b))));
    if (ascii != 0xFFFF) return i + static_cast<std::size_t>(__builtin_ctz(~ascii)) / 2;
  }
#endif
  for (; i < n && text[i] < 0x80; ++i) out[i] = static_cast<char>(text[i]);
  return i;
}

// Narrows text[0, n) to out when every character is ASCII and returns n;
// otherwise returns how many leading characters it narrowed (0 for a text
// shorter than 16), and the caller goes on from there. out has room for
// four bytes a character; past what is returned it may hold bytes of no use.
inline std::size_t narrowWhole(const char32_t* text, std::size_t n, char* out) {
  if (n < 4) {
    if (n == 0) return 0;
    // One, two or three characters: the first, middle and last cover them.
    const char32_t first = text[0], middle = text[n / 2], last = text[n - 1];
    if ((first | middle | last) >= 0x80) return 0;
    out[0] = static_cast<char>(first), out[n / 2] = static_cast<char>(middle), out[n - 1] = static_cast<char>(last);
    return n;
  }
#if defined(__SSE2__)
  // Shorter than a block: two blocks of half the size, overlapping.
  if (n < 8) return narrow4(text, out) && narrow4(text + n - 4, out + n - 4) ? n : 0;
  if (n < 16) return narrow8(text, out) && narrow8(text + n - 8, out + n - 8) ? n : 0;
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16)
    if (!narrow16(text + i, out + i)) return i;
  // The rest is the last block, overlapping the one before: its bytes are
  // written again, the same.
  return i == n || narrow16(text + n - 16, out + n - 16) ? n : i;
#else
  return narrowRun(text, n, out);
#endif
}

}  // namespace vantiro::ascii
