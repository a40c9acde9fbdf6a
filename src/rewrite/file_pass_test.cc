#include "rewrite/file_pass.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "memory_file_system.h"
#include "memory_streams.h"

namespace {

const platform::PathRules kPosix{"/", "\xE6\xB8\x88"};
const platform::PathRules kWindows{"\\/", "\xE6\xB8\x88"};

struct NameCase {
  const platform::PathRules* rules;
  std::string path;
  std::string output;
  std::string echo;
};

class NameCases : public testing::TestWithParam<NameCase> {};

TEST_P(NameCases, DerivesOutputAndEcho) {
  const NameCase& c = GetParam();
  EXPECT_EQ(outputPathFor(c.path, *c.rules), c.output);
  EXPECT_EQ(echoNameFor(c.path, *c.rules), c.echo);
}

// Paths are UTF-8 on both systems: "済" is E6 B8 88. "表" and "ソ" end in 5C
// in code page 932, and none of the characters of the last Windows cases is
// in that code page at all.
INSTANTIATE_TEST_SUITE_P(
    Naming, NameCases,
    testing::Values(
        NameCase{&kWindows, "C:\\work\\part.nc", "C:\\work\\part済.ncd", "part"},
        NameCase{&kWindows, "C:\\work\\part.final.nc", "C:\\work\\part.final済.ncd", "part.final"},
        NameCase{&kWindows, "C:\\work\\cam.out\\part", "C:\\work\\cam.out\\part済.ncd", "part"},
        NameCase{&kWindows, "C:\\work\\part", "C:\\work\\part済.ncd", "part"},
        NameCase{&kWindows, "part.nc", "part済.ncd", "part"},
        NameCase{&kWindows, "C:\\work\\part済.ncd", "C:\\work\\part済済.ncd", "part済"},
        NameCase{&kWindows, "C:\\w\\表.nc", "C:\\w\\表済.ncd", "表"},
        NameCase{&kWindows, "C:\\ソ\\ソ", "C:\\ソ\\ソ済.ncd", "ソ"},
        NameCase{&kWindows, "d/cam.out/p", "d/cam.out/p済.ncd", "p"},
        NameCase{&kWindows, "C:\\w\\p\xF0\x9F\x98\x80 smile.nc",
                 "C:\\w\\p\xF0\x9F\x98\x80 smile済.ncd", "p\xF0\x9F\x98\x80 smile"},
        NameCase{&kWindows, "C:\\한국어\\한국어 부품.nc", "C:\\한국어\\한국어 부품済.ncd",
                 "한국어 부품"},
        NameCase{&kWindows, "\\\\?\\C:\\Größe.nc", "\\\\?\\C:\\Größe済.ncd", "Größe"},
        NameCase{&kPosix, "dir/cam.out/part", "dir/cam.out/part済.ncd", "part"},
        NameCase{&kPosix, "../part", "../part済.ncd", "part"},
        NameCase{&kPosix, "/w/part.nc", "/w/part済.ncd", "part"},
        NameCase{&kPosix, "a\\b.nc", "a\\b済.ncd", "a\\b"}, NameCase{&kPosix, "", "済.ncd", ""}));

class FilePass : public testing::Test {
 protected:
  // Rewrites `input` as "w/part.nc"; returns the result.
  PassResult run(const std::string& input) {
    fs.files["w/part.nc"] = input;
    return processFile(fs, "w/part.nc", kPosix);
  }
  std::string output() { return fs.files["w/part\xE6\xB8\x88.ncd"]; }

  MemoryFileSystem fs;
};

TEST_F(FilePass, WritesHeaderThenRewrittenLines) {
  ASSERT_EQ(run("G00Z5.\r\nG00X1.\r\nG01Z-1.F9\r\nM30"), PassResult::done);
  EXPECT_EQ(output(),
            "(Tarvelin Ver 1.07)\r\nG00Z5.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r\nM30");
  EXPECT_EQ(fs.files.size(), 2u);
  EXPECT_EQ(fs.openHandles(), 0);
}

TEST_F(FilePass, EmptyInputGivesTheHeaderOnly) {
  ASSERT_EQ(run(""), PassResult::done);
  EXPECT_EQ(output(), "(Tarvelin Ver 1.07)\r\n");
}

TEST_F(FilePass, CrOnlyInputKeepsItsLines) {
  ASSERT_EQ(run("G00Z5.\rG00X1.\rG01Z-1.F9\r"), PassResult::done);
  EXPECT_EQ(output(), "(Tarvelin Ver 1.07)\r\nG00Z5.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r\n");
}

TEST_F(FilePass, EveryLineEndComesOutAsCrLf) {
  ASSERT_EQ(run("G00Z5.\nG00X1.\r\r\nG01Z-1.F9\nA\rB\r\n\n\x1A\r\n"), PassResult::done);
  EXPECT_EQ(output(),
            "(Tarvelin Ver 1.07)\r\nG00Z5.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r\nAB\r\n\r\n");
}

TEST_F(FilePass, ReplacesAnEarlierOutput) {
  fs.files["w/part\xE6\xB8\x88.ncd"] = "old";
  ASSERT_EQ(run("A\n"), PassResult::done);
  EXPECT_EQ(output(), "(Tarvelin Ver 1.07)\r\nA\r\n");
}

// A failure names the file it concerns and the system's reason.
TEST_F(FilePass, MissingInputIsAnOpenFailure) {
  using Subject = PassResult::Subject;
  const PassResult missing{PassResult::openFailed, Subject::input, MemoryFileSystem::kMissing};
  EXPECT_EQ(processFile(fs, "w/none.nc", kPosix), missing);
  EXPECT_EQ(processFile(fs, "", kPosix), missing);
  EXPECT_EQ(streamFile(fs, "w/none.nc", {}), missing);
  EXPECT_EQ(fs.files.size(), 1u);  // standard output
}

TEST_F(FilePass, UnreplaceableOutputIsAnOpenFailure) {
  fs.directories.insert("w/part\xE6\xB8\x88.ncd");
  EXPECT_EQ(run("A\n"), PassResult(PassResult::openFailed, PassResult::Subject::output,
                                   platform::refusal(platform::Error::Kind::folder)));
  EXPECT_EQ(fs.files.size(), 1u);
}

TEST_F(FilePass, DirectoryAsInputIsAReadFailure) {
  fs.directories.insert("w/d");
  EXPECT_EQ(processFile(fs, "w/d", kPosix),
            PassResult(PassResult::readFailed, PassResult::Subject::input,
                       platform::refusal(platform::Error::Kind::folder)));
  EXPECT_TRUE(fs.files.empty());
  EXPECT_EQ(fs.openHandles(), 0);
}

// Text after a 0x1A is refused with the line the 0x1A stands on, counted as
// the reader counts lines: by line feeds, or in a file without any before
// it, by carriage returns.
TEST_F(FilePass, TextAfterAnEndMarkNamesItsLine) {
  struct Case {
    const char* program;
    uint64_t line;
  } const cases[] = {
      {"\x1AG01Z-1.\r\n", 1},
      {"G00Z5.\r\nG01Z-1\x1A(more)\r\n", 2},
      {"A\nB\rC\r\n\r\n\x1A\nD", 4},
      {"A\rB\rC\x1A\rD\r", 3},
  };
  for (const Case& c : cases) {
    const PassResult result = run(c.program);
    EXPECT_EQ(result.ending, PassResult::textAfterEnd) << c.program;
    EXPECT_EQ(result.line, c.line) << c.program;
    EXPECT_EQ(fs.openHandles(), 0);
  }
}

// A program saved again or still being copied in while it is read would come
// out cut short or mixed: the run fails and leaves an earlier output alone.
// So does one that another program still holds open for writing, as a copy
// that stalled while the file was read does, with a cause of its own.
TEST_F(FilePass, AnInputChangedWhileReadIsNotPutInPlace) {
  std::string program;
  while (program.size() < (200u << 10)) program += "G00Z5.\r\nG00X1.\r\nG01Z-1.F9\r\n";
  // When another program holds the file open for writing.
  enum class Held { never, fromTheStart, fromTheFirstRead };
  struct Case {
    const char* name;
    std::string input;
    std::function<void(std::string&)> change;
    Held held = Held::never;
  };
  const auto unchanged = [](std::string&) {};
  for (const Case& c : {
           Case{"still being copied in", program, [](std::string& f) { f += "M30\r\n"; }},
           Case{"saved again, same size", program, [](std::string& f) { f[7] = '2'; }},
           Case{"cut short", program, [](std::string& f) { f.resize(f.size() / 2); }},
           Case{"changed after its 0x1A", "G00Z5.\r\n\x1A\r\n", [](std::string& f) { f += " "; }},
           Case{"held open by a stalled copy", program, unchanged, Held::fromTheStart},
           Case{"opened for writing while read", program, unchanged, Held::fromTheFirstRead},
       }) {
    SCOPED_TRACE(c.name);
    const std::string input = "w/part.nc";
    const std::string output = "w/part\xE6\xB8\x88.ncd";
    MemoryFileSystem files;
    files.files[input] = c.input;
    files.files[output] = "old";
    if (c.held == Held::fromTheStart) files.writers.insert(input);
    bool changed = false;
    files.afterRead = [&](std::string& file) {
      if (std::exchange(changed, true)) return;
      c.change(file);
      if (c.held == Held::fromTheFirstRead) files.writers.insert(input);
    };
    // Held open from the start, it is not even read.
    using Subject = PassResult::Subject;
    const PassResult failed = c.held == Held::never ? PassResult(PassResult::inputChanged)
                              : c.held == Held::fromTheStart
                                  ? PassResult(PassResult::openFailed, Subject::input,
                                               PassResult::Finding::heldForWriting)
                                  : PassResult(PassResult::readFailed, Subject::input,
                                               PassResult::Finding::heldForWriting);
    EXPECT_EQ(processFile(files, input, kPosix), failed);
    EXPECT_EQ(files.files[output], "old");
    EXPECT_EQ(files.files.size(), 2u);
    EXPECT_EQ(files.openHandles(), 0);

    changed = false;
    files.files[input] = c.input;
    if (c.held == Held::fromTheFirstRead) files.writers.clear();
    EXPECT_EQ(streamFile(files, input, {}), failed);
    // A file held open for writing from the start is not read at all.
    if (c.held == Held::fromTheStart) {
      EXPECT_TRUE(files.files[MemoryFileSystem::kStandardOutput].empty());
    }
  }
}

// In word mode the header goes after a leading '%' line, blank lines before it
// included, where controllers expect the program to start.
TEST(HeaderLine, FollowsALeadingPercentLineInWordMode) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const std::string header = "(Tarvelin Ver 1.07 words)\r\n";
  for (const Case& c :
       {Case{"%\nG21\n", "%\r\n" + header + "G21\r\n"},
        Case{"\n  %\r\nM2\n", "\r\n  %\r\n" + header + "M2\r\n"},
        Case{"\f%\nM2\n", "\f%\r\n" + header + "M2\r\n"}, Case{"G21\n%\n", header + "G21\r\n%\r\n"},
        Case{"(%)\n", header + "(%)\r\n"}, Case{"%", header + "%"}}) {
    MemorySource source(c.input);
    StringSink sink;
    RewriteSettings settings;
    settings.words = true;
    ASSERT_EQ(rewriteStream(source, sink, settings), PassResult::done);
    EXPECT_EQ(sink.text, c.expected);
  }
}

// Returns `unit` repeated until the text holds at least `bytes` bytes.
std::string repeat(const std::string& unit, size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += unit;
  return text;
}

// In the word mode a jump at a program's end takes away the deep approach
// after the block it jumps back to. Into a file the program is rewritten at
// once and again only if it turns out to jump or return; into standard
// output it is read through first: both give the same. A source that cannot
// go back, a pipe, is taken to jump and return: nothing deep after a block
// number, and nothing before the modes are set.
TEST(WordMode, OnePassOrReadThroughFirstGiveTheSame) {
  const std::string pocket =
      "G90 G40 G94\nG0 Z5\nG0 X10 Y10\nG1 Z-1. F100\nG1 X20\nG1 X10\nG0 Z5\n"
      "N100 G0 X10 Y10\nG1 Z-2\n";
  // Many reads long, so that the word at its end comes runs after the first.
  const std::string cutting = repeat("G1 X20 Y10\nG1 X10 Y10\n", 5 << 20);
  struct Case {
    const char* name;
    std::string input;
    bool seekable;
    int deep;        // approaches below the first height
    int startsOver;  // times a rewrite into a file starts again
  };
  for (const Case& c :
       {Case{"as it is", pocket + "M30\n", true, 1, 0},
        Case{"with a jump back", pocket + "M99 P100\n", true, 0, 1},
        Case{"long", pocket + cutting + "M30\n", true, 1, 0},
        Case{"long, a GOTO at the end", pocket + cutting + "GOTO 100\n", true, 0, 1},
        Case{"long, M99 at the end", pocket + cutting + "M99\n", true, 1, 1},
        Case{"a call, then M99 at the end", "M98 P1\n" + pocket + cutting + "M99\n", true, 0, 2},
        Case{"from a pipe", pocket + "M30\n", false, 0, 0}}) {
    std::string outputs[2];
    for (const bool file : {false, true}) {
      MemorySource source(c.input, 100000);
      source.seekable = c.seekable;
      StringSink sink;
      sink.canTakeBack = file;
      RewriteSettings settings;
      settings.words = true;
      ASSERT_EQ(rewriteStream(source, sink, settings), PassResult::done) << c.name;
      EXPECT_EQ(sink.startsOver, file ? c.startsOver : 0) << c.name;
      outputs[file ? 1 : 0] = sink.text;
    }
    EXPECT_TRUE(outputs[0] == outputs[1]) << c.name;
    EXPECT_EQ(outputs[1].find("G00 Z0.050000\r\nG1 Z-1.") != std::string::npos, true) << c.name;
    EXPECT_EQ(outputs[1].find("G00 Z-0.980000\r\nG1 Z-2") != std::string::npos, c.deep == 1)
        << c.name;
  }
}

struct LongLineCase {
  const char* name;
  std::string input;
  std::string expected;  // after the header
};

// Names a case in test listings instead of dumping its megabytes.
void PrintTo(const LongLineCase& c, std::ostream* out) { *out << c.name; }

class LongLines : public testing::TestWithParam<LongLineCase> {};

// Lines of any length take time in proportion to their length, and the pieces
// of a line over the reader's limit are invisible: an approach goes only in
// front of a whole line, and comments and the check for a retract after an
// approach belong to real lines.
TEST_P(LongLines, AreRewrittenWhole) {
  MemorySource source(GetParam().input, 100000);
  StringSink sink;
  ASSERT_EQ(rewriteStream(source, sink), PassResult::done);
  EXPECT_TRUE(sink.text == "(Tarvelin Ver 1.07)\r\n" + GetParam().expected)
      << sink.text.substr(0, 200);
}

// Longer than any piece the reader hands out, so that what follows lies in a later piece.
const std::string kOverLimit(2 * TextReader::kMaxLine + 1000, 'X');
const std::string kNextPass = "G00Z1.\nG00X1.\nG01Z-0.7F9\n";

INSTANTIATE_TEST_SUITE_P(
    Pieces, LongLines,
    testing::Values(
        LongLineCase{"DistanceWordsAroundEveryPlunge", repeat("G90G01Z-1.F100", 900000) + "\n",
                     repeat("G90G01Z-1.F100", 900000) + "\r\n"},
        LongLineCase{"DistanceWordsBetweenPlunges", repeat("G01Z-1G90", 1000000) + "\n",
                     repeat("G01Z-1G90", 1000000) + "\r\n"},
        LongLineCase{"DistanceWordsInOneComment",
                     "G00Z1.G00X1.(" + repeat("G91", 1000000) + ")G01Z-1.F9\n",
                     "G00 Z0.050000\r\nG00Z1.G00X1.(" + repeat("G91", 1000000) + ")G01Z-1.F9\r\n"},
        LongLineCase{"PlungeInALaterPieceGetsNoneButCounts",
                     "G00Z1.G00X1." + kOverLimit + "G01Z-0.5F9\n" + kNextPass,
                     "G00Z1.G00X1." + kOverLimit +
                         "G01Z-0.5F9\r\nG00Z1.\r\nG00X1.\r\nG00 Z-0.480000\r\nG01Z-0.7F9\r\n"},
        LongLineCase{"RetractCheckWaitsForTheNextRealLine",
                     "G00Z1.\r\nG00X1.\r\nG01Z-0.5F9" + kOverLimit + "\r\n" + "G00Z1.\r\n" +
                         "G00X1.\r\nG01Z-0.7F9\r\n",
                     "G00Z1.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-0.5F9" + kOverLimit +
                         "\r\nG00Z1.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-0.7F9\r\n"},
        LongLineCase{"CommentSpanningPieces",
                     "G00Z1.\nG00X1.\nG01Z-0.5F9\n(" + kOverLimit + "G91)\n" + kNextPass,
                     "G00Z1.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-0.5F9\r\n(" + kOverLimit +
                         "G91)\r\nG00Z1.\r\nG00X1.\r\nG00 Z-0.480000\r\nG01Z-0.7F9\r\n"}),
    [](const testing::TestParamInfo<LongLineCase>& info) { return info.param.name; });

}  // namespace
