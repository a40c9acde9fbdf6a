// Fails every file operation of a rewrite in turn, the first, the second, and
// so on, and checks after each that the failure is reported, on the file it
// concerns and with the system's error, and that nothing is lost: no
// temporary file left, an earlier output and the input untouched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_file_system.h"
#include "rewrite/file_pass.h"

namespace {

const platform::PathRules kRules{"/", "\xE6\xB8\x88"};
const std::string kInput = "w/part.nc";
const std::string kOutput = "w/part\xE6\xB8\x88.ncd";
const std::string kEarlier = "(an earlier output)\r\n";

// A program and the word mode or not.
struct Sample {
  std::string program;
  bool words;
};

// Programs that take the reader and the writer down their different roads.
std::vector<Sample> samplePrograms() {
  std::string pocket;
  for (int pass = 1; pass <= 3; ++pass) {
    pocket += "G00Z5.\r\nG00X10.Y10.\r\nG01Z-" + std::to_string(pass) + ".F100\r\nG01X30.\r\n";
  }
  std::string big;  // many reads and writes
  while (big.size() < (3u << 20)) big += "G00Z5.\r\nG00X1.Y2.\r\nG01Z-1.F9\r\nX12.345Y67.890\r\n";
  std::string crOnly;  // no line feed in the first buffer: read ahead, then start over
  while (crOnly.size() < (3u << 20)) crOnly += "G00Z5.\rG00X1.\rG01Z-1.F9\r";
  std::string padded = pocket + "\x1A";  // reads on past its end mark, to the end of the input
  while (padded.size() < (3u << 20)) padded += "\r\n\x1A";
  // In the word mode, one that jumps is rewritten again from its start.
  const std::string jumps = "G90 G40 G94\nG0 Z5\nX1 Y1\nG1 Z-1 F9\nG0 Z5\nN9 X1\nG1 Z-2\nGOTO 9\n";
  return {{"", false},    {pocket, false}, {"G00Z5.\nG00X1.\nG01Z-1.F9\nA\rB\r\n\x1A\r\n", false},
          {big, false},   {crOnly, false}, {padded, false},
          {pocket, true}, {jumps, true}};
}

// The result a run must report when the operation named failed on `path`
// with `error`; `firstRewind` tells that it was the reader's first rewind.
PassResult expectedResult(const std::string& operation, const std::string& path, bool firstRewind,
                          platform::Error error) {
  using Subject = PassResult::Subject;
  if (operation == "openRead") return {PassResult::openFailed, Subject::input, error};
  if (operation == "createTemp" || operation == "rename") {
    return {PassResult::openFailed, Subject::output, error};
  }
  // Input that cannot go back to its start is read on, and its line ends are
  // decided on what was read: for these programs, as if it could.
  if (firstRewind) return PassResult::done;
  if (operation == "read" || operation == "rewind") {
    return {PassResult::readFailed, Subject::input, error};
  }
  if (operation == "close" && path == kInput) return PassResult::done;  // nothing of it was lost
  return {PassResult::writeFailed, Subject::output, error};
}

TEST(FaultInjection, EveryFailedOperationIsReportedAndLosesNothing) {
  int faultPoints = 0;
  for (const auto& [program, words] : samplePrograms()) {
    RewriteSettings settings;
    settings.words = words;
    MemoryFileSystem clean;
    clean.files[kInput] = program;
    ASSERT_EQ(processFile(clean, kInput, kRules, settings), PassResult::done);
    const std::string rewritten = clean.files[kOutput];
    const int operations = clean.operations;

    bool rewound = false;  // an earlier n failed a rewind, so this one is not the first
    for (int n = 1; n <= operations + 1; ++n) {
      MemoryFileSystem fs;
      fs.files[kInput] = program;
      fs.files[kOutput] = kEarlier;
      fs.failAt = n;
      const PassResult result = processFile(fs, kInput, kRules, settings);
      ++faultPoints;
      SCOPED_TRACE("operation " + std::to_string(n) + " (" + fs.failedOperation + ") of " +
                   std::to_string(operations));
      EXPECT_EQ(fs.openHandles(), 0);
      EXPECT_EQ(fs.files[kInput], program);
      EXPECT_EQ(fs.files.size(), 2u);  // the input and the output: no temporary file
      if (n > operations) {
        EXPECT_EQ(result, PassResult::done);
        EXPECT_EQ(fs.files[kOutput], rewritten);
        continue;
      }
      const bool firstRewind = fs.failedOperation == "rewind" && !rewound;
      rewound = rewound || fs.failedOperation == "rewind";
      const PassResult expected =
          expectedResult(fs.failedOperation, fs.failedPath, firstRewind, fs.failure);
      EXPECT_TRUE(result == expected)
          << "ending " << static_cast<int>(result.ending) << " ("
          << static_cast<int>(expected.ending) << "), file " << static_cast<int>(result.subject)
          << ", error " << result.error.number << " (" << expected.error.number << ")";
      EXPECT_EQ(fs.files[kOutput], result == PassResult::done ? rewritten : kEarlier);
    }
  }
  std::printf("fault points tried: %d\n", faultPoints);
  RecordProperty("faultPoints", faultPoints);
}

}  // namespace
