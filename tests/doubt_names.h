// The names of the word mode's doubts, for test messages.
#ifndef TARVELIN_TESTS_DOUBT_NAMES_H_
#define TARVELIN_TESTS_DOUBT_NAMES_H_

#include <cstddef>
#include <iterator>

#include "rewrite/block_reader.h"

// The names of the doubts, in the order they are declared.
inline constexpr const char* kDoubts[] = {"none",           "unknownCode",   "letterOutOfContext",
                                          "repeatedWord",   "twoMotions",    "noNumber",
                                          "exponent",       "numberTooLong", "placeTooFar",
                                          "strayCharacter", "parameter",     "expression",
                                          "keyword",        "programNumber", "jump",
                                          "call",           "returns",       "lineTooLong",
                                          "reachedByJump"};
static_assert(std::size(kDoubts) == static_cast<std::size_t>(Doubt::reachedByJump) + 1);

inline const char* doubtName(Doubt doubt) { return kDoubts[static_cast<std::size_t>(doubt)]; }

#endif  // TARVELIN_TESTS_DOUBT_NAMES_H_
