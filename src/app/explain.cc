#include "app/explain.h"

#include <algorithm>
#include <vector>

#include "app/summary.h"

namespace {

// Returns `text`, a piece of a program, as any console can show it:
// printable ASCII as it is, a tab as a blank, any other byte as its value
// in hexadecimal ("<82>").
std::string shown(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else if (c == '\t') {
      out += ' ';
    } else {
      out.append({'<', kHex[byte >> 4], kHex[byte & 15], '>'});
    }
  }
  return out;
}

// Returns the lines of `lines` in words: "line 12", "lines 12, 40", "lines 12, 40, 68, …".
std::string lineWords(const LineList& lines, const Texts& texts) {
  std::string numbers;
  for (size_t i = 0; i < lines.kept(); ++i) {
    if (i != 0) numbers += texts.lineSeparator;
    numbers += std::to_string(lines.first[i]);
  }
  const std::string_view pattern = lines.count == 1                 ? texts.oneLine
                                   : lines.count <= LineList::kKept ? texts.someLines
                                                                    : texts.moreLines;
  return fill(pattern, {numbers});
}

// Returns the words for a doubt, with %1 for the word and %2 for its lines.
std::string_view doubtPattern(Doubt doubt, bool jumpSeen, const Texts& texts) {
  switch (doubt) {
    case Doubt::none:
      return texts.doubtOthers;
    case Doubt::unknownCode:
      return texts.doubtUnknownCode;
    case Doubt::letterOutOfContext:
      return texts.doubtLetterOutOfContext;
    case Doubt::repeatedWord:
      return texts.doubtRepeatedWord;
    case Doubt::twoMotions:
      return texts.doubtTwoMotions;
    case Doubt::noNumber:
      return texts.doubtNoNumber;
    case Doubt::exponent:
      return texts.doubtExponent;
    case Doubt::numberTooLong:
      return texts.doubtNumberTooLong;
    case Doubt::placeTooFar:
      return texts.doubtPlaceTooFar;
    case Doubt::strayCharacter:
      return texts.doubtStrayCharacter;
    case Doubt::parameter:
      return texts.doubtParameter;
    case Doubt::expression:
      return texts.doubtExpression;
    case Doubt::keyword:
      return texts.doubtKeyword;
    case Doubt::programNumber:
      return texts.doubtProgramNumber;
    case Doubt::jump:
      return texts.doubtJump;
    case Doubt::call:
      return texts.doubtCall;
    case Doubt::returns:
      return texts.doubtReturns;
    case Doubt::lineTooLong:
      return texts.doubtLineTooLong;
    case Doubt::reachedByJump:
      return jumpSeen ? texts.doubtReachedByJump : texts.doubtReachedByJumpUnread;
  }
  return texts.doubtOthers;
}

// Returns the words for the lines of `group`, what they doubt and where.
std::string doubtWords(const DoubtGroup& group, const Explanation& explanation,
                       const Texts& texts) {
  const std::string word = shown(group.word.view());
  return fill(doubtPattern(group.doubt, explanation.jumpLine != 0, texts),
              {group.varied ? fill(texts.wordsLike, {word}) : word, lineWords(group.lines, texts),
               shown(explanation.jumpWord.view()), std::to_string(explanation.jumpLine)});
}

// Returns the line for the plunges left alone for `reason`, with %1 for the
// count and %2 for their lines; sets `*firstOnly` where they got approaches
// that went only to the first height instead. Empty for the reasons counted
// with a line not understood.
std::string_view reasonPattern(PlungeReason reason, const Texts& texts, bool* firstOnly) {
  *firstOnly = false;
  switch (reason) {
    case PlungeReason::none:
    case PlungeReason::distanceUnknown:
    case PlungeReason::feedModeUnknown:
    case PlungeReason::compensationUnknown:
      return {};
    case PlungeReason::noClearance:
      return texts.leftNoClearance;
    case PlungeReason::noRapidXY:
      return texts.leftNoRapidXY;
    case PlungeReason::notAbovePlunge:
      return texts.leftNotAbovePlunge;
    case PlungeReason::incremental:
      return texts.leftIncremental;
    case PlungeReason::inverseTime:
      return texts.leftInverseTime;
    case PlungeReason::compensation:
      return texts.leftCompensation;
    case PlungeReason::lineChangesModes:
      return texts.leftLineChangesModes;
    case PlungeReason::heightUnknown:
      return texts.leftHeightUnknown;
    case PlungeReason::notGoingDown:
      return texts.leftNotGoingDown;
    case PlungeReason::stockTopAbove:
      return texts.leftStockTopAbove;
    case PlungeReason::notFedThere:
      *firstOnly = true;
      return texts.leftNotFedThere;
    case PlungeReason::withoutPoint:
      *firstOnly = true;
      return texts.leftWithoutPoint;
    case PlungeReason::tiltedTool:
      *firstOnly = true;
      return texts.leftTiltedTool;
  }
  return {};
}

// A line of the explanation, and the first line of the program it names.
struct Row {
  uint64_t first;
  std::string text;
};

// Returns the rows in the order of the program's lines, joined by `separator`.
std::string joined(std::vector<Row> rows, std::string_view separator) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return a.first < b.first; });
  std::string text;
  for (const Row& row : rows) text.append(text.empty() ? "" : separator).append(row.text);
  return text;
}

// Returns the lines of the word mode.
std::string wordModeLines(const Explanation& explanation, const Savings& savings,
                          const Texts& texts) {
  const auto left = [&](const LineList& plunges) {
    return fill(plunges.count == 1 ? texts.onePlungeLeft : texts.plungesLeft,
                {grouped(plunges.count)});
  };
  std::vector<Row> rows;
  const LineList& fromStart = explanation.fromStart;
  if (fromStart.count != 0) {
    rows.push_back(
        {0, explanation.returnLine != 0
                ? fill(texts.fromStart, {left(fromStart), lineWords(fromStart, texts),
                                         shown(explanation.returnWord.view()),
                                         std::to_string(explanation.returnLine)})
                : fill(texts.fromStartUnread, {left(fromStart), lineWords(fromStart, texts)})});
  }
  std::vector<Row> quiet;  // the lines not understood that no plunge was left alone after
  const auto addDoubts = [&](const DoubtGroup& group) {
    if (group.lines.count == 0) return;
    const uint64_t first = group.lines.first[0];
    if (group.plunges.count == 0) {
      quiet.push_back({first, doubtWords(group, explanation, texts)});
    } else {
      rows.push_back(
          {first, fill(texts.afterDoubt, {left(group.plunges), lineWords(group.plunges, texts),
                                          doubtWords(group, explanation, texts)})});
    }
  };
  for (size_t i = 0; i < explanation.doubtCount; ++i) addDoubts(explanation.doubts[i]);
  addDoubts(explanation.otherDoubts);
  for (size_t i = 0; i < Explanation::kReasons; ++i) {
    const LineList& plunges = explanation.plunges[i];
    bool firstOnly = false;
    const std::string_view pattern = reasonPattern(static_cast<PlungeReason>(i), texts, &firstOnly);
    if (plunges.count == 0 || pattern.empty()) continue;
    const std::string count = firstOnly
                                  ? fill(plunges.count == 1 ? texts.oneFirstOnly : texts.firstOnly,
                                         {grouped(plunges.count)})
                                  : left(plunges);
    rows.push_back(
        {plunges.first[0], fill(pattern, {count, lineWords(plunges, texts),
                                          std::to_string(explanation.stockTopShownOn)})});
  }
  std::string text = joined(rows, "");
  if (text.empty()) text = savings.approaches == 0 ? texts.noPlunge : texts.nothingLeftAlone;
  if (!quiet.empty()) {
    std::string list = joined(quiet, texts.doubtSeparator);
    if (explanation.doubtsDropped) list += texts.doubtMore;
    text += fill(texts.notUnderstood, {list});
  }
  return text;
}

}  // namespace

std::string explanationLines(const Explanation& explanation, const Savings& savings, bool words,
                             const Texts& texts) {
  if (words) return wordModeLines(explanation, savings, texts);
  const LineList& lines = explanation.otherStyle;
  if (lines.count == 0) return std::string(texts.noOtherStyle);
  return fill(
      lines.count == 1 ? texts.oneOtherStyle : texts.otherStyle,
      {grouped(lines.count), lineWords(lines, texts), shown(explanation.otherStyleExample.view())});
}
