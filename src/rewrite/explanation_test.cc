#include "rewrite/explanation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// Returns `lines` as "count:first,lines".
std::string listed(const LineList& lines) {
  std::string text = std::to_string(lines.count);
  for (size_t i = 0; i < lines.kept(); ++i)
    text.append(i == 0 ? ":" : ",").append(std::to_string(lines.first[i]));
  return lines.count == 0 ? text + ":" : text;
}

// Returns what `explanation` gathered, in short: each group of lines not
// understood as "word lines plunges" ("~" after a word for varied words),
// the others, the plunges from the start and those by reason.
std::string gathered(const Explanation& explanation) {
  std::string text;
  const auto group = [&](const DoubtGroup& doubts, const char* name) {
    if (doubts.lines.count == 0) return;
    text += std::string(name).append(doubts.word.view()).append(doubts.varied ? "~" : "") + " " +
            listed(doubts.lines) + " " + listed(doubts.plunges) + "; ";
  };
  for (size_t i = 0; i < explanation.doubtCount; ++i) group(explanation.doubts[i], "");
  group(explanation.otherDoubts, "others ");
  if (explanation.fromStart.count != 0) text += "start " + listed(explanation.fromStart) + "; ";
  for (size_t i = 0; i < Explanation::kReasons; ++i) {
    if (explanation.plunges[i].count != 0) {
      text += "reason" + std::to_string(i) + " " + listed(explanation.plunges[i]) + "; ";
    }
  }
  if (explanation.doubtsDropped) text += "dropped";
  return text;
}

// Returns what the explanation gathers of `program`, read through first for
// its outlook, as the file pass reads it.
Explanation explain(const Lines& program) {
  std::string text;
  for (const std::string& line : program) text.append(line).append("\n");
  Outlook outlook;
  outlook.read(text);
  WordScanner scanner({}, outlook);
  Explanation explanation;
  scanner.scanRun(
      text, [](size_t, std::string_view) {},
      [&](size_t, std::string_view line, const LineNote& note) { explanation.take(note, line); });
  return explanation;
}

// A pass at X1 Y1 after a retract and a rapid move: its plunge is left
// alone in modes a line not understood left unknown.
const Lines kPass = {"G0 Z5", "G0 X1 Y1", "G1 Z-1."};

Lines withPasses(Lines program, const Lines& doubts) {
  for (const std::string& doubt : doubts) {
    program.push_back(doubt);
    program.insert(program.end(), kPass.begin(), kPass.end());
  }
  return program;
}

// Plunges left alone in modes not known count with the line not understood
// before them; each group keeps its count and first three lines; lines are
// grouped by the code or keyword, but by the letter of a word out of place;
// and however many different doubts come, the groups stay few.
TEST(Explanation, GroupsWhatWasLeftAlone) {
  struct Case {
    const char* name;
    Lines program;
    std::string gathered;
  };
  const std::string noClearance =
      "reason" + std::to_string(static_cast<int>(PlungeReason::noClearance));
  const Case cases[] = {
      {"UntilModesComeAgain",
       {"M50", "G0 Z5", "G0 X1 Y1", "G1 Z-1.", "G1 Z-2.", "G90", "G0 Z5", "G0 X1 Y1", "G1 Z-1.",
        "G40 G94", "G0 Z5", "G0 X2 Y2", "G1 Z-1.", "G1 Z-2."},
       "M50 1:1 3:4,5,9; " + noClearance + " 1:14; "},
      {"ByCodeAndByLetter", withPasses({}, {"M50", "m50", "M 50", "M51", "G1 X1 E2", "G1 X2 e3"}),
       "M50 3:1,5,9 3:4,8,12; M51 1:13 1:16; E2~ 2:17,21 2:20,24; "},
      {"FirstThreeLinesKept", withPasses({"M50"}, {"G1 X1", "G1 X1", "G1 X1", "G1 X1", "G1 X1"}),
       "M50 1:1 5:5,9,13; "},
      {"GroupsThatLeftNothingGiveWay",
       withPasses({"M60", "M62", "M63", "M64", "M65", "M66", "M67", "M69"}, {"M68"}),
       "M68 1:9 1:12; M62 1:2 0:; M63 1:3 0:; M64 1:4 0:; M65 1:5 0:; M66 1:6 0:; M67 1:7 0:; "
       "M69 1:8 0:; dropped"},
      {"PastTheMostTheRestAreOthers",
       withPasses({}, {"M60", "M62", "M63", "M64", "M65", "M66", "M67", "M68", "M69", "M70"}),
       "M60 1:1 1:4; M62 1:5 1:8; M63 1:9 1:12; M64 1:13 1:16; M65 1:17 1:20; M66 1:21 1:24; "
       "M67 1:25 1:28; M68 1:29 1:32; others M69~ 2:33,37 2:36,40; "},
      {"FromTheStartOfASubprogram",
       {"O1000", "G0 Z5", "G0 X1 Y1", "G1 Z-1.", "M99"},
       "M99 1:5 0:; start 1:4; "},
      {"BlockNumbersAJumpMayReach",
       {"N10 G0 Z5", "N20 G0 X1 Y1", "G1 Z-1.", "N30 GOTO 10"},
       "N10~ 2:1,2 1:3; GOTO 1:4 0:; "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gathered(explain(c.program)), c.gathered) << c.name;
  }
  const Explanation jumps = explain(std::end(cases)[-1].program);
  EXPECT_EQ(jumps.jumpWord.view(), "GOTO");
  EXPECT_EQ(jumps.jumpLine, 4U);
}

// The compact mode counts the lines that look like plunges of another style
// than "G01Z-", once each, by their number in the whole program, across runs
// and over a line that comes in pieces.
TEST(Explanation, CountsLinesOfAnotherStyleInTheCompactMode) {
  Explanation explanation;
  for (const std::string_view run :
       {"G01Z-1.\nG1 Z-1.5\ng01 z -2 (G1 Z-3)\n", "G1Z-1.\nG01 X1 Z-1.\nG10 Z-1.\n",
        "G21 Z-1.\n(a long line", " in two pieces)\nN5 G001 Z-.5 F100\n"}) {
    explanation.lookAtCompactRun(run);
  }
  EXPECT_EQ(listed(explanation.otherStyle), "4:2,3,4");
  EXPECT_EQ(explanation.otherStyleExample.view(), "G1 Z-1.5");
  Explanation more;
  more.lookAtCompactRun("\n\n\n\nG1 Z-1\n");
  EXPECT_EQ(listed(more.otherStyle), "1:5");
}

}  // namespace
