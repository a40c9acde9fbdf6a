// The lines that follow a file's name with --explain: what its rewrite left
// alone, and why.
#ifndef TARVELIN_APP_EXPLAIN_H_
#define TARVELIN_APP_EXPLAIN_H_

#include <string>

#include "app/texts.h"
#include "rewrite/explanation.h"
#include "rewrite/savings.h"

// Returns the lines, in the words of `texts`, on what `explanation` gathered
// from a rewrite that saved `savings`. In the word mode (`words`): a line for
// each group of plunges left alone, or of approaches that went only to the
// first height, in the order of their first lines, with the count and the
// first few lines; then the lines not understood that no plunge was left
// alone after; or that nothing was left alone, or that there was no plunge
// at all. In the compact mode: the lines that look like plunges of another
// style, or that there is nothing to explain.
std::string explanationLines(const Explanation& explanation, const Savings& savings, bool words,
                             const Texts& texts);

#endif  // TARVELIN_APP_EXPLAIN_H_
