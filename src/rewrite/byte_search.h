// Finding bytes sixteen at a time: SSE2 where the compiler has it (every
// x86-64 target), a plain loop elsewhere. The hot loops of the reader and the
// scanner visit only the bytes they care about.
#ifndef TARVELIN_REWRITE_BYTE_SEARCH_H_
#define TARVELIN_REWRITE_BYTE_SEARCH_H_

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Returns a mask with bit i set iff p[i] is `a` or `b`, for the 16 bytes at `p`.
inline uint32_t matchMask16(const char* p, char a, char b) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(a)),
                                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8(b)));
  return static_cast<uint32_t>(_mm_movemask_epi8(hits));
#else
  uint32_t mask = 0;
  for (int i = 0; i < 16; ++i) mask |= static_cast<uint32_t>(p[i] == a || p[i] == b) << i;
  return mask;
#endif
}

// Calls visit(at) for each byte in [begin, end) that is `a` or `b`, in order,
// until visit returns true. Returns where it stopped, or `end`. Reads nothing
// outside [begin, end).
template <typename Visit>
const char* forEachMatch(const char* begin, const char* end, char a, char b, Visit&& visit) {
  const char* chunk = begin;
  for (; end - chunk >= 16; chunk += 16) {
    for (uint32_t mask = matchMask16(chunk, a, b); mask != 0; mask &= mask - 1) {
      const char* at = chunk + std::countr_zero(mask);
      if (visit(at)) return at;
    }
  }
  if (end - begin >= 16) {
    // The last few bytes: one more 16-byte look that ends at `end`, minus what was seen.
    const auto seen = static_cast<int>(16 - (end - chunk));
    for (uint32_t mask = matchMask16(end - 16, a, b) >> seen; mask != 0; mask &= mask - 1) {
      const char* at = chunk + std::countr_zero(mask);
      if (visit(at)) return at;
    }
    return end;
  }
  for (; chunk < end; ++chunk) {
    if ((*chunk == a || *chunk == b) && visit(chunk)) return chunk;
  }
  return end;
}

// Calls visit(at) in order for each byte in [begin, end) that is `a`, or is
// `b` followed by `bNext`, until visit returns true. Returns where it stopped,
// or `end`. Reads nothing outside [begin, end).
template <typename Visit>
const char* forEachCandidate(const char* begin, const char* end, char a, char b, char bNext,
                             Visit&& visit) {
  const char* chunk = begin;
#if defined(__SSE2__)
  // Bit i: chunk[i] is `a`, or `b` with `bNext` after it; reads chunk[0..16].
  const auto hits = [&](const char* p) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    return static_cast<uint32_t>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8(a)),
                                       _mm_and_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8(b)),
                                                     _mm_cmpeq_epi8(next, _mm_set1_epi8(bNext))))));
  };
  const auto visitAll = [&](const char* p, uint32_t mask) -> const char* {
    for (; mask != 0; mask &= mask - 1) {
      if (visit(p + std::countr_zero(mask))) return p + std::countr_zero(mask);
    }
    return nullptr;
  };
  if (end - begin > 16) {
    for (; end - chunk > 16; chunk += 16) {
      if (const char* stop = visitAll(chunk, hits(chunk))) return stop;
    }
    // One more look that ends one byte before `end`, minus what was seen.
    const auto unseen = static_cast<int>(end - 1 - chunk);
    if (const char* stop = visitAll(end - 17, hits(end - 17) >> (16 - unseen) << (16 - unseen))) {
      return stop;
    }
    chunk = end - 1;
  }
#endif
  for (; chunk < end; ++chunk) {
    const bool hit = *chunk == a || (*chunk == b && chunk + 1 < end && chunk[1] == bNext);
    if (hit && visit(chunk)) return chunk;
  }
  return end;
}

// Returns the first place in [begin, end) where `a` and `b` do not come as a
// pair: an `a` with no `b` after it, or a `b` with no `a` before it. An `a` in
// the last position and a `b` in the first are not looked at.
inline const char* findUnpaired(const char* begin, const char* end, char a, char b) {
  const char* chunk = begin;
#if defined(__SSE2__)
  for (; end - chunk > 16; chunk += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk + 1));
    // Bit i: exactly one of "chunk[i] is a" and "chunk[i + 1] is b".
    const __m128i odd = _mm_xor_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8(a)),
                                      _mm_cmpeq_epi8(next, _mm_set1_epi8(b)));
    if (const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(odd))) {
      const char* at = chunk + std::countr_zero(mask);
      return *at == a ? at : at + 1;
    }
  }
#endif
  for (; chunk + 1 < end; ++chunk) {
    if ((chunk[0] == a) != (chunk[1] == b)) return chunk[0] == a ? chunk : chunk + 1;
  }
  return end;
}

// Returns the first `b` in [begin, end) that has no `a` right before it, or
// `end`; a `b` in the first position counts as having none.
inline const char* findUnpreceded(const char* begin, const char* end, char a, char b) {
  if (begin == end) return end;
  if (*begin == b) return begin;
  const char* chunk = begin + 1;
#if defined(__SSE2__)
  for (; end - chunk >= 16; chunk += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chunk - 1));
    const __m128i lone = _mm_andnot_si128(_mm_cmpeq_epi8(before, _mm_set1_epi8(a)),
                                          _mm_cmpeq_epi8(here, _mm_set1_epi8(b)));
    if (const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(lone))) {
      return chunk + std::countr_zero(mask);
    }
  }
#endif
  for (; chunk < end; ++chunk) {
    if (chunk[0] == b && chunk[-1] != a) return chunk;
  }
  return end;
}

#endif  // TARVELIN_REWRITE_BYTE_SEARCH_H_
