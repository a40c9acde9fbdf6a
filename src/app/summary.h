// The line that follows a file's name with --summary: what its rewrite saves.
#ifndef TARVELIN_APP_SUMMARY_H_
#define TARVELIN_APP_SUMMARY_H_

#include <string>

#include "rewrite/savings.h"

// Returns the line, in the program's voice, on what `savings` says: how many
// approaches went in and, in the word mode (`words`), how many end below the
// first height, the feed travel through air they turn into rapid travel, in
// each unit the program used, and the feed time it took, marked "以上" (at
// least) where some plunge's time was not known.
std::string summaryLine(const Savings& savings, bool words);

#endif  // TARVELIN_APP_SUMMARY_H_
