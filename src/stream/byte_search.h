// Finding bytes sixteen at a time: SSE2 where the compiler has it (every
// x86-64 target), a plain loop elsewhere, and AVX2 (for the scanner's loop,
// AVX-512) where the processor has it, checked at run time, for the loops
// that pass over every byte of the file.
// The hot loops of the text reader and the compact scanner visit only the
// bytes they care about. Each wide loop has a plain twin that the tests hold
// it to, and looks at a group of 16, 32 or 64 bytes at once. The word
// reader uses none of this: it reads a byte at a time.
#ifndef TARVELIN_STREAM_BYTE_SEARCH_H_
#define TARVELIN_STREAM_BYTE_SEARCH_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// AVX2 code, and AVX-512 code for the loop that looks for the compact
// style's moves, is built beside the baseline and chosen at run time. Not on
// Windows, where GCC cannot keep 32-byte values on the stack aligned.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define TARVELIN_AVX2 1
#include <immintrin.h>
#define TARVELIN_TARGET_AVX2 __attribute__((target("avx2")))
#define TARVELIN_TARGET_AVX512 __attribute__((target("avx512f,avx512bw")))
#endif

// True iff the AVX2 versions below exist and this processor can run them.
inline bool hasAvx2() {
#if defined(TARVELIN_AVX2)
  static const bool has = __builtin_cpu_supports("avx2") != 0;
  return has;
#else
  return false;
#endif
}

// True iff the AVX-512 versions below exist and this processor can run them.
inline bool hasAvx512() {
#if defined(TARVELIN_AVX2)
  static const bool has =
      __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512bw") != 0;
  return has;
#else
  return false;
#endif
}

// Returns the first byte in [begin, end) that is `a` or `b`, or `end`; a byte at a time.
inline const char* findEitherPlain(const char* begin, const char* end, char a, char b) {
  for (; begin < end; ++begin) {
    if (*begin == a || *begin == b) return begin;
  }
  return end;
}

// Returns what findEitherPlain() returns, sixty-four bytes at a time where it
// can: the bytes looked for are rare, and most of the text is passed over.
inline const char* findEither(const char* begin, const char* end, char a, char b) {
  const char* group = begin;
#if defined(__SSE2__)
  const auto hits = [&](int at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group + at));
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(a)),
                        _mm_cmpeq_epi8(bytes, _mm_set1_epi8(b)));
  };
  for (; end - group >= 64; group += 64) {
    const __m128i any =
        _mm_or_si128(_mm_or_si128(hits(0), hits(16)), _mm_or_si128(hits(32), hits(48)));
    if (_mm_movemask_epi8(any) != 0) break;  // one is in these 64 bytes: found below
  }
  for (; end - group >= 16; group += 16) {
    if (const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(hits(0)))) {
      return group + std::countr_zero(mask);
    }
  }
#endif
  return findEitherPlain(group, end, a, b);
}

// True iff a compact-style move may start at `p`, before `end`: "G00" and X,
// Y or Z, "G01Z-", "G9", or "X0.".
inline bool patternStartsAt(const char* p, const char* end) {
  const auto size = end - p;
  if (size >= 3 && p[0] == 'X' && p[1] == '0' && p[2] == '.') return true;
  if (size < 2 || p[0] != 'G') return false;
  if (p[1] == '9') return true;
  if (size < 4 || p[1] != '0') return false;
  if (p[2] == '0') return p[3] == 'X' || p[3] == 'Y' || p[3] == 'Z';
  return p[2] == '1' && p[3] == 'Z' && size >= 5 && p[4] == '-';
}

#if defined(__SSE2__)
// Returns a mask with bit i set iff patternStartsAt(p + i); reads p[0..20).
inline uint32_t patternStarts16(const char* p) {
  const auto at = [p](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)); };
  const auto is = [](__m128i bytes, char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
  const __m128i first = at(0);
  const __m128i second = at(1);
  const __m128i third = at(2);
  const __m128i fourth = at(3);
  const __m128i g = is(first, 'G');
  const __m128i zero = is(second, '0');
  const __m128i g0 = _mm_and_si128(g, zero);
  const __m128i axis =
      _mm_or_si128(_mm_or_si128(is(fourth, 'X'), is(fourth, 'Y')), is(fourth, 'Z'));
  const __m128i g00 = _mm_and_si128(_mm_and_si128(g0, is(third, '0')), axis);
  const __m128i g01 = _mm_and_si128(_mm_and_si128(g0, is(third, '1')),
                                    _mm_and_si128(is(fourth, 'Z'), is(at(4), '-')));
  const __m128i g9 = _mm_and_si128(g, is(second, '9'));
  const __m128i x0 = _mm_and_si128(_mm_and_si128(is(first, 'X'), zero), is(third, '.'));
  return static_cast<uint32_t>(
      _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(g00, g01), _mm_or_si128(g9, x0))));
}
#endif

#if defined(TARVELIN_AVX2)
// patternStarts16() for thirty-two bytes: bit i set iff patternStartsAt(p + i); reads p[0..36).
namespace byte_search_detail {
// Returns the bytes of the 32 at `p + k` that are `c`, as 0xFF.
TARVELIN_TARGET_AVX2 inline __m256i equals32(const char* p, int k, char c) {
  return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k)),
                           _mm256_set1_epi8(c));
}
}  // namespace byte_search_detail

TARVELIN_TARGET_AVX2 inline uint32_t patternStarts32(const char* p) {
  const __m256i g = byte_search_detail::equals32(p, 0, 'G');
  const __m256i zero = byte_search_detail::equals32(p, 1, '0');
  const __m256i g0 = _mm256_and_si256(g, zero);
  const __m256i fourthZ = byte_search_detail::equals32(p, 3, 'Z');
  const __m256i axis = _mm256_or_si256(_mm256_or_si256(byte_search_detail::equals32(p, 3, 'X'),
                                                       byte_search_detail::equals32(p, 3, 'Y')),
                                       fourthZ);
  const __m256i g00 =
      _mm256_and_si256(_mm256_and_si256(g0, byte_search_detail::equals32(p, 2, '0')), axis);
  const __m256i g01 =
      _mm256_and_si256(_mm256_and_si256(g0, byte_search_detail::equals32(p, 2, '1')),
                       _mm256_and_si256(fourthZ, byte_search_detail::equals32(p, 4, '-')));
  const __m256i g9 = _mm256_and_si256(g, byte_search_detail::equals32(p, 1, '9'));
  const __m256i x0 =
      _mm256_and_si256(_mm256_and_si256(byte_search_detail::equals32(p, 0, 'X'), zero),
                       byte_search_detail::equals32(p, 2, '.'));
  return static_cast<uint32_t>(
      _mm256_movemask_epi8(_mm256_or_si256(_mm256_or_si256(g00, g01), _mm256_or_si256(g9, x0))));
}
#endif

#if defined(TARVELIN_AVX2)
// patternStarts16() for sixty-four bytes at once, in mask registers: bit i set
// iff patternStartsAt(p + i); reads p[0..68).
namespace byte_search_detail {
// Returns the bits of the 64 bytes at `p + k` that are `c`.
TARVELIN_TARGET_AVX512 inline uint64_t equals64(const char* p, int k, char c) {
  return _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(p + k), _mm512_set1_epi8(c));
}
}  // namespace byte_search_detail

TARVELIN_TARGET_AVX512 inline uint64_t patternStarts64(const char* p) {
  using byte_search_detail::equals64;
  const uint64_t g = equals64(p, 0, 'G');
  const uint64_t zero = equals64(p, 1, '0');
  const uint64_t fourthZ = equals64(p, 3, 'Z');
  const uint64_t axis = equals64(p, 3, 'X') | equals64(p, 3, 'Y') | fourthZ;
  const uint64_t g00 = g & zero & equals64(p, 2, '0') & axis;
  const uint64_t g01 = g & zero & equals64(p, 2, '1') & fourthZ & equals64(p, 4, '-');
  const uint64_t g9 = g & equals64(p, 1, '9');
  const uint64_t x0 = equals64(p, 0, 'X') & zero & equals64(p, 2, '.');
  return g00 | g01 | g9 | x0;
}
#endif

namespace byte_search_detail {

// The body of the skipToPattern versions: `starts(p)` gives the pattern
// starts of the kWidth bytes at p, reading four more. Always inlined, so that
// it is built for the target of each version.
template <int kWidth, typename Starts>
[[gnu::always_inline]] inline const char* skipWith(Starts starts, const char* p, const char* end,
                                                   bool* found) {
  for (; end - p >= 64 + 4; p += 64) {
    uint64_t mask = 0;
    for (int k = 0; k < 64; k += kWidth) mask |= uint64_t{starts(p + k)} << k;
    if (mask != 0) return *found = true, p + std::countr_zero(mask);
  }
  for (; end - p >= kWidth + 4; p += kWidth) {
    const auto mask = starts(p);
    if (mask != 0) return *found = true, p + std::countr_zero(mask);
  }
  *found = false;
  return p;
}

}  // namespace byte_search_detail

#if defined(__SSE2__)
// Returns the first place from `p` on where patternStartsAt holds, setting
// `*found`; or, with `*found` false, the first place it did not look at,
// fewer than 20 bytes before `end`. Sixty-four bytes a step while it can.
inline const char* skipToPatternSse2(const char* p, const char* end, bool* found) {
  return byte_search_detail::skipWith<16>([](const char* at) { return patternStarts16(at); }, p,
                                          end, found);
}
#endif

#if defined(TARVELIN_AVX2)
// skipToPatternSse2() with AVX2; stops fewer than 36 bytes before `end`.
TARVELIN_TARGET_AVX2 inline const char* skipToPatternAvx2(const char* p, const char* end,
                                                          bool* found) {
  return byte_search_detail::skipWith<32>(
      [](const char* at) TARVELIN_TARGET_AVX2 { return patternStarts32(at); }, p, end, found);
}

// skipToPatternSse2() with AVX-512; stops fewer than 68 bytes before `end`.
TARVELIN_TARGET_AVX512 inline const char* skipToPatternAvx512(const char* p, const char* end,
                                                              bool* found) {
  return byte_search_detail::skipWith<64>(
      [](const char* at) TARVELIN_TARGET_AVX512 { return patternStarts64(at); }, p, end, found);
}
#endif

// Calls visit(at) in order for each place in [begin, end) where
// patternStartsAt holds, until visit returns true. Returns where it stopped,
// or `end`. Reads nothing outside [begin, end). The wide loops run between
// the places, which are rare in most programs, without calling out.
template <typename Visit>
const char* forEachPatternStart(const char* begin, const char* end, Visit&& visit) {
  const char* at = begin;
#if defined(__SSE2__)
  for (bool found = true;;) {
#if defined(TARVELIN_AVX2)
    at = hasAvx512() ? skipToPatternAvx512(at, end, &found)
         : hasAvx2() ? skipToPatternAvx2(at, end, &found)
                     : skipToPatternSse2(at, end, &found);
#else
    at = skipToPatternSse2(at, end, &found);
#endif
    if (!found) break;
    if (visit(at)) return at;
    ++at;
  }
#endif
  for (; at < end; ++at) {
    if (patternStartsAt(at, end) && visit(at)) return at;
  }
  return end;
}

// Returns the first place in [begin, end) where `stop` stands or where `a`
// and `b` do not come as a pair: an `a` with no `b` after it, or a `b` with no
// `a` before it. An `a` in the last position and a `b` in the first are not
// looked at as a pair. Returns `end` when there is no such place. This is the
// plain loop; findUnpaired() below picks the fastest version.
inline const char* findUnpairedPlain(const char* begin, const char* end, char a, char b,
                                     char stop) {
  for (const char* p = begin; p != end; ++p) {
    if (*p == stop) return p;
    if (end - p > 1 && (p[0] == a) != (p[1] == b)) return p[0] == a ? p : p + 1;
  }
  return end;
}

namespace byte_search_detail {

// Returns what findUnpaired() returns for the lowest bit of `mask`, in which
// bit i marks group[i] as `stop` or as the first of a pair out of step.
inline const char* unpairedAt(const char* group, uint64_t mask, char a, char stop) {
  const char* at = group + std::countr_zero(mask);
  return *at == stop || *at == a ? at : at + 1;
}

}  // namespace byte_search_detail

// findUnpaired() sixteen bytes at a time.
inline const char* findUnpairedSse2(const char* begin, const char* end, char a, char b, char stop) {
  const char* group = begin;
#if defined(__SSE2__)
  for (; end - group > 16; group += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(group + 1));
    // Bit i: group[i] is `stop`, or exactly one of "group[i] is a" and "group[i + 1] is b".
    const __m128i odd = _mm_xor_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8(a)),
                                      _mm_cmpeq_epi8(next, _mm_set1_epi8(b)));
    const __m128i hits = _mm_or_si128(odd, _mm_cmpeq_epi8(here, _mm_set1_epi8(stop)));
    if (const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(hits))) {
      return byte_search_detail::unpairedAt(group, mask, a, stop);
    }
  }
#endif
  return findUnpairedPlain(group, end, a, b, stop);
}

#if defined(TARVELIN_AVX2)
// findUnpaired() sixty-four bytes at a time.
TARVELIN_TARGET_AVX2 inline const char* findUnpairedAvx2(const char* begin, const char* end, char a,
                                                         char b, char stop) {
  const char* group = begin;
  const __m256i as = _mm256_set1_epi8(a);
  const __m256i bs = _mm256_set1_epi8(b);
  const __m256i stops = _mm256_set1_epi8(stop);
  // Bit i of the result: p[i] is `stop`, or exactly one of "p[i] is a" and
  // "p[i + 1] is b"; reads p[0..32].
  const auto hits = [&](const char* p) TARVELIN_TARGET_AVX2 {
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    return _mm256_or_si256(
        _mm256_xor_si256(_mm256_cmpeq_epi8(here, as), _mm256_cmpeq_epi8(next, bs)),
        _mm256_cmpeq_epi8(here, stops));
  };
  for (; end - group > 64; group += 64) {
    const __m256i low = hits(group);
    const __m256i high = hits(group + 32);
    if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high)) == 0) {
      const auto mask = static_cast<uint32_t>(_mm256_movemask_epi8(low)) |
                        static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(high)))
                            << 32;
      return byte_search_detail::unpairedAt(group, mask, a, stop);
    }
  }
  return findUnpairedSse2(group, end, a, b, stop);
}
#endif

// Returns what findUnpairedPlain() returns, with the widest loop this processor has.
inline const char* findUnpaired(const char* begin, const char* end, char a, char b, char stop) {
#if defined(TARVELIN_AVX2)
  if (hasAvx2()) return findUnpairedAvx2(begin, end, a, b, stop);
#endif
  return findUnpairedSse2(begin, end, a, b, stop);
}

// Room that expandLineFeeds() needs past the end of its copy: the wide
// versions copy each line with one 64-byte store where it fits.
inline constexpr size_t kExpandSlack = 64;

// Copies [begin, end) to `out`, putting a carriage return in front of each
// line feed that has none (a line feed at `begin` has none), and returns the
// end of the copy. `out` needs room for 2 * (end - begin) + kExpandSlack
// bytes. This is the plain loop; expandLineFeeds() below picks the fastest.
inline char* expandLineFeedsPlain(const char* begin, const char* end, char* out) {
  for (const char* p = begin; p != end; ++p) {
    if (*p == '\n' && (p == begin || p[-1] != '\r')) *out++ = '\r';
    *out++ = *p;
  }
  return out;
}

namespace byte_search_detail {

// Copies the text from `*from` to the line feed at `lf`, then a carriage
// return and the line feed; the next stretch starts after it. A stretch of up
// to 32 or 64 bytes that has that much to read goes in one fixed-size copy.
inline void copyStretch(const char* lf, const char* end, const char** from, char** out) {
  const auto size = static_cast<size_t>(lf - *from);
  const auto readable = end - *from;
  if (size <= 32 && readable >= 32) {
    std::memcpy(*out, *from, 32);
  } else if (size <= 64 && readable >= 64) {
    std::memcpy(*out, *from, 64);
  } else {
    std::memcpy(*out, *from, size);
  }
  *out += size;
  std::memcpy(*out, "\r\n", 2);
  *out += 2;
  *from = lf + 1;
}

// Copies the stretches up to each line feed marked in `bare` (bit i: group[i]).
inline void copyStretches(const char* group, uint64_t bare, const char* end, const char** from,
                          char** out) {
  for (; bare != 0; bare &= bare - 1) copyStretch(group + std::countr_zero(bare), end, from, out);
}

// Returns the bits of the line feeds in `lf` that have no carriage return in
// `cr` just before them; `crBefore` is the bit of the byte before bit 0.
inline uint64_t bareLineFeeds(uint64_t cr, uint64_t lf, uint64_t crBefore) {
  return lf & ~((cr << 1) | crBefore);
}

#if defined(__SSE2__)
// Sets bit i of `*cr` and `*lf` iff p[i] is a carriage return or line feed, for 64 bytes.
inline void lineEndMasksSse2(const char* p, uint64_t* cr, uint64_t* lf) {
  *cr = 0;
  *lf = 0;
  for (int i = 0; i < 64; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    *cr |= static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))))
           << i;
    *lf |= static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))))
           << i;
  }
}
#endif

#if defined(TARVELIN_AVX2)
TARVELIN_TARGET_AVX2 inline void lineEndMasksAvx2(const char* p, uint64_t* cr, uint64_t* lf) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  const auto mask = [](__m256i bytes, char c) TARVELIN_TARGET_AVX2 {
    return static_cast<uint64_t>(
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c)))));
  };
  *cr = mask(low, '\r') | mask(high, '\r') << 32;
  *lf = mask(low, '\n') | mask(high, '\n') << 32;
}
#endif

}  // namespace byte_search_detail

namespace byte_search_detail {

// The body of the wide expandLineFeeds() versions: finds the line feeds 64
// bytes at a time with `masks`, copies the stretches between them, and ends
// with one more look at the last 64 bytes, minus what was seen. Always
// inlined, so that it is built for the target of each version.
template <typename Masks>
[[gnu::always_inline]] inline char* expandWith(Masks masks, const char* begin, const char* end,
                                               char* out) {
  if (end - begin < 64) return expandLineFeedsPlain(begin, end, out);
  const char* from = begin;
  const char* group = begin;
  uint64_t crBefore = 0;
  uint64_t cr = 0;
  uint64_t lf = 0;
  for (; end - group >= 64; group += 64) {
    masks(group, &cr, &lf);
    copyStretches(group, bareLineFeeds(cr, lf, crBefore), end, &from, &out);
    crBefore = cr >> 63;
  }
  if (group != end) {
    const auto seen = static_cast<int>(64 - (end - group));
    masks(end - 64, &cr, &lf);
    copyStretches(end - 64, bareLineFeeds(cr, lf, 0) >> seen << seen, end, &from, &out);
  }
  std::memcpy(out, from, static_cast<size_t>(end - from));
  return out + (end - from);
}

}  // namespace byte_search_detail

#if defined(__SSE2__)
// expandLineFeeds() sixty-four bytes at a time, with SSE2.
inline char* expandLineFeedsSse2(const char* begin, const char* end, char* out) {
  return byte_search_detail::expandWith(byte_search_detail::lineEndMasksSse2, begin, end, out);
}
#endif

#if defined(TARVELIN_AVX2)
// expandLineFeeds() sixty-four bytes at a time, with AVX2.
TARVELIN_TARGET_AVX2 inline char* expandLineFeedsAvx2(const char* begin, const char* end,
                                                      char* out) {
  return byte_search_detail::expandWith(
      [](const char* p, uint64_t* cr, uint64_t* lf)
          TARVELIN_TARGET_AVX2 { byte_search_detail::lineEndMasksAvx2(p, cr, lf); },
      begin, end, out);
}
#endif

// Returns what expandLineFeedsPlain() returns, with the widest loop this processor has.
inline char* expandLineFeeds(const char* begin, const char* end, char* out) {
#if defined(TARVELIN_AVX2)
  if (hasAvx2()) return expandLineFeedsAvx2(begin, end, out);
#endif
#if defined(__SSE2__)
  return expandLineFeedsSse2(begin, end, out);
#else
  return expandLineFeedsPlain(begin, end, out);
#endif
}

#endif  // TARVELIN_STREAM_BYTE_SEARCH_H_
