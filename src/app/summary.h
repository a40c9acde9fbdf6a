// The line that follows a file's name with --summary: what its rewrite saves.
#ifndef TARVELIN_APP_SUMMARY_H_
#define TARVELIN_APP_SUMMARY_H_

#include <cstdint>
#include <string>

#include "app/texts.h"
#include "rewrite/savings.h"

// Returns the line, in the words of `texts`, on what `savings` says: how many
// approaches went in and, in the word mode (`words`), how many of them end
// below the first height (where any do), the feed travel through air they
// turn into rapid travel, in each unit the program used, and the feed time
// it took: about so much, or at least so much where some plunge's time was
// not known. Numbers are grouped by thousands; a time of an hour or more is
// given in hours and minutes.
std::string summaryLine(const Savings& savings, bool words, const Texts& texts);

// Returns `number` with its digits grouped by thousands: "12,345".
std::string grouped(uint64_t number);

#endif  // TARVELIN_APP_SUMMARY_H_
