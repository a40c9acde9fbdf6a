// Inputs no NC program should be, and faults the system throws in: each is
// rewritten or refused with the right message, in bounded memory, and nothing
// is left half-written.
#include <sys/mount.h>

#include <random>

#include "memory_streams.h"
#include "program_runner.h"

namespace {

using HostileInput = ProgramTest;

// Peak memory allowed to any run, whatever its input. The word mode holds the
// reader's two buffers, the writer's and its fed points at once: about 8.3 MiB
// with lines of 1 to 2 MB.
constexpr long kMemoryBoundKib = 9 << 10;

// Returns `data` as the program must write it without approaches: text mode
// read, CR LF written, after the `header` line.
std::string asRewritten(const std::string& data, const std::string& header = kHeader) {
  std::string out = header;
  for (const char c : textModeRead(data)) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Runs the program on `args`, checking its peak memory where that can be measured.
ProgramRun runBounded(const std::vector<std::string>& args) {
#ifndef TARVELIN_SANITIZED
  if (access("/usr/bin/time", X_OK) == 0) {
    ProgramRun run = RunningProgram(args, true).finish();
    EXPECT_GT(run.peakKib, 0);
    EXPECT_LT(run.peakKib, kMemoryBoundKib);
    return run;
  }
  std::printf("/usr/bin/time is missing: memory not measured\n");
#endif
  return runProgram(args);
}

TEST_F(HostileInput, BinaryAndLineEndlessFilesAreCopiedWhole) {
  std::mt19937 random(42);
  std::string binary(1 << 20, '\0');
  for (char& c : binary) c = static_cast<char>(random() % 256);
  binary.erase(std::remove(binary.begin(), binary.end(), '\x1A'), binary.end());
  binary.replace(binary.find('G'), 1, "X");  // no stray patterns in random bytes
  struct Case {
    const char* name;
    std::string data;
  };
  // NOLINTBEGIN(bugprone-string-constructor): large on purpose
  for (const Case& c : {Case{"random", binary}, Case{"nul", std::string(100000, '\0')},
                        Case{"endless", std::string(100 << 20, 'A')},
                        Case{"empty_lines", std::string(10000000, '\n')}}) {
    // NOLINTEND(bugprone-string-constructor)
    writeFile(path(c.name), c.data);
    const ProgramRun run = runBounded({path(c.name)});
    EXPECT_EQ(run.status, 0) << c.name;
    EXPECT_EQ(run.out, kBanner + c.name + "\n" + kAllDone) << c.name;
    EXPECT_TRUE(readFile(path(std::string(c.name) + kDone + ".ncd")) == asRewritten(c.data))
        << c.name;
  }
}

// Lines of 1 to 2 MB after more feed moves than the word mode keeps the ends
// of: the memory stays bounded all the same.
TEST_F(HostileInput, LongLinesAfterManyFeedMoves) {
  std::string data = "G90 G40 G1 X0 Y0 Z-1 F100\n";
  for (int i = 0; i < 40000; ++i) {
    data += "G1 X" + std::to_string(i % 1000) + ".5 Y" + std::to_string(i / 1000) + ".25\n";
  }
  for (int i = 0; i < 6; ++i) {
    data += "G1 X2. (" + std::string((size_t{1} << 20) + (i * (size_t{1} << 20)) / 5, 'B') + ")\n";
  }
  writeFile(path("long.nc"), data);
  const ProgramRun run = runBounded({"--words", path("long.nc")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "long\n" + kAllDone);
  EXPECT_TRUE(readFile(path("long" + kDone + ".ncd")) ==
              asRewritten(data, "(Tarvelin Ver 1.07 words)\r\n"));
}

TEST_F(HostileInput, TwoThousandArgumentsInOneRun) {
  std::vector<std::string> args;
  std::string expected = kBanner;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = std::string("p").append(std::to_string(i));
    writeFile(path(name + ".nc"), "G00Z1.\r\nG00X1.\r\nG01Z-1.F9\r\n");
    args.push_back(path(name + ".nc"));
    expected += name + "\n";
  }
  const ProgramRun run = runBounded(args);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, expected + kAllDone);
  EXPECT_EQ(readFile(path("p1999" + kDone + ".ncd")),
            kHeader + "G00Z1.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r\n");
  EXPECT_EQ(listDir(dir).size(), 4000u);
}

TEST_F(HostileInput, LongAndOddNames) {
  std::string folder = dir;
  for (int level = 0; level < 5; ++level) {
    folder += "/" + std::string(200, static_cast<char>('a' + level));
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
  }
  const std::string longPath = folder + "/part.nc";
  ASSERT_GT(longPath.size(), 1000u);
  const std::string odd = path("a b \"c\" 'd' 日本語 \\ * ?.nc");
  for (const std::string& input : {longPath, odd}) {
    writeFile(input, "G00Z1.\nG00X1.\nG01Z-1.F9\n");
    const ProgramRun run = runProgram({input});
    const std::string base = input.substr(0, input.size() - 3);
    EXPECT_EQ(run.status, 0) << input;
    EXPECT_EQ(run.out, kBanner + base.substr(base.rfind('/') + 1) + "\n" + kAllDone);
    EXPECT_EQ(readFile(base + kDone + ".ncd"),
              kHeader + "G00Z1.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r\n");
  }
}

TEST_F(HostileInput, InputDeletedBetweenArguments) {
  // The first input is a pipe, so the run waits in it while the second is deleted.
  ASSERT_EQ(mkfifo(path("first").c_str(), 0666), 0);
  writeFile(path("second.nc"), "G00Z1.\n");
  RunningProgram program({path("first"), path("second.nc"), path("third.nc")});
  const int fifo = open(path("first").c_str(), O_WRONLY);
  ASSERT_GE(fifo, 0);
  ASSERT_EQ(unlink(path("second.nc").c_str()), 0);
  writeFile(path("third.nc"), "G00Z1.\n");
  const std::string text = "G00Z1.\nG00X1.\nG01Z-1.F9\n";
  ASSERT_EQ(write(fifo, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fifo);
  const ProgramRun run = program.finish();
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + "first\n" + kOpenFailed + cause(path("second.nc"), kNoSuchFile));
  EXPECT_EQ(readFile(path("first" + kDone + ".ncd")),
            kHeader + "G00Z1.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r\n");
  EXPECT_FALSE(exists(path("third" + kDone + ".ncd")));
}

TEST_F(HostileInput, PipeWithoutLineFeedsInWhatIsReadAhead) {
  // The line ends are decided on the first 1.25 MiB, as the pipe cannot go back.
  std::string crOnly;
  while (crOnly.size() < (2u << 20)) crOnly += "G01X12.345Y67.890\r";
  ASSERT_EQ(mkfifo(path("part").c_str(), 0666), 0);
  RunningProgram program({path("part")});
  const int fifo = open(path("part").c_str(), O_WRONLY);
  ASSERT_GE(fifo, 0);
  ASSERT_EQ(write(fifo, crOnly.data(), crOnly.size()), static_cast<ssize_t>(crOnly.size()));
  close(fifo);
  const ProgramRun run = program.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "part\n" + kAllDone);
  EXPECT_TRUE(readFile(path("part" + kDone + ".ncd")) == asRewritten(crOnly));
}

// What is neither a regular file nor a pipe is no program, and reading a
// device may never end: each is refused as a file that cannot be opened, at
// once, with nothing written. A run still going after ten seconds is ended.
TEST_F(HostileInput, InputsThatAreNeitherFilesNorPipesAreRefused) {
  ASSERT_EQ(symlink("/dev/zero", path("z.nc").c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", path("n.nc").c_str()), 0);
  ASSERT_EQ(mkdir(path("folder.nc").c_str(), 0777), 0);
  const std::vector<std::string> before = listDir(dir);
  for (const auto& [input, why] :
       {std::pair{std::string("/dev/zero"), kNotAFile}, std::pair{path("z.nc"), kNotAFile},
        std::pair{path("n.nc"), kNotAFile}, std::pair{path("folder.nc"), kFolder}}) {
    const ProgramRun run = RunningProgram({input}, false, [] { alarm(10); }).finish();
    EXPECT_EQ(run.signal, 0) << input;
    EXPECT_EQ(run.status, 255) << input;
    EXPECT_EQ(run.out, kBanner + kOpenFailed + cause(input, why)) << input;
    EXPECT_EQ(listDir(dir), before) << input;
  }
}

// A 0x1A ends the text where only padding follows it, as at the end of an old
// DOS file. Controllers read on past it, so with more of the program after
// it a copy cut there would lose the rest: the run stops with its message,
// an earlier output stays, and standard output gets nothing of a program that
// fits in the first read. The message names the line of the 0x1A.
TEST_F(HostileInput, TextAfterAnEndMarkStopsTheRun) {
  const std::string textAfter = "ファイルの途中に終端文字(0x1A)があります。\n";
  const std::string program = "G00Z5.\r\nG01X12.345Y67.890F9\r\n";  // copied as it is
  std::string padding;
  while (padding.size() < (size_t{3} << 20)) padding += "\x1A\r\n \t\n";
  std::string longProgram;
  while (longProgram.size() < (size_t{2} << 20)) longProgram += program;
  struct Case {
    const char* name;
    std::string data;
    bool refused;
  };
  const Case cases[] = {
      {"padding after the mark", program + "\x1A\x1A\r\n \t\n", false},
      {"long padding", program + "\x1A" + padding, false},
      {"the program going on", "G00Z5.\r\nG01Z-1\x1A(more)\r\nG01Z-2.F9\r\nM30\r\n", true},
      {"text far after the mark", program + "\x1A" + padding + "M30\r\n", true},
      {"a mark after 2 MiB", longProgram + "\x1A" + "G01Z-2.F9\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path("part.nc"), c.data);
    writeFile(path("part" + kDone + ".ncd"), "earlier output");
    const auto lineFeeds = std::count(c.data.begin(), c.data.begin() + c.data.find('\x1A'), '\n');
    const std::string refused =
        textAfter + cause(path("part.nc"), std::to_string(lineFeeds + 1) +
                                               "行目の終端文字 (0x1A, Ctrl-Z) "
                                               "の後にもプログラムが続いています");
    const ProgramRun run = runProgram({path("part.nc")});
    EXPECT_EQ(run.status, c.refused ? 255 : 0);
    EXPECT_EQ(run.out, kBanner + (c.refused ? refused : "part\n" + kAllDone));
    EXPECT_TRUE(readFile(path("part" + kDone + ".ncd")) ==
                (c.refused ? "earlier output" : asRewritten(c.data)));
    EXPECT_EQ(listDir(dir).size(), 2u);
    const ProgramRun toStandardOutput = runProgram({"--stdout", path("part.nc")});
    EXPECT_EQ(toStandardOutput.status, c.refused ? 255 : 0);
    EXPECT_EQ(toStandardOutput.err, kBanner + (c.refused ? refused : "part\n" + kAllDone));
    if (c.data.size() < (size_t{1} << 20)) {
      EXPECT_TRUE(toStandardOutput.out == (c.refused ? "" : asRewritten(c.data)));
    }
  }
}

// A program saved as UTF-16 or UTF-32 (Notepad's "Unicode"), or a Windows
// shortcut, is no text of bytes: rewritten byte by byte it would come out
// garbled. Each is refused at its first bytes in both modes, with or without
// --stdout, and gets no copy; an earlier output stays. A UTF-8 byte-order
// mark is text like any other.
TEST_F(HostileInput, UnicodeTextAndShortcutsAreRefused) {
  const std::string unicode = "ファイルの文字コードに対応していません。\n";
  struct Case {
    const char* name;
    std::string data;
    std::string message;  // empty: rewritten
  };
  const std::string g00 = "G00Z5.\r\n";
  const Case cases[] = {
      {"UTF-16 LE", kUtf16Program, unicode + cause(path("part.nc"), kSavedAsUnicode)},
      {"UTF-16 BE", std::string("\xFE\xFF\0G\0\x30\0\x30", 8),
       unicode + cause(path("part.nc"), kSavedAsUnicode)},
      {"UTF-32 LE", std::string("\xFF\xFE\0\0G\0\0\0", 8),
       unicode + cause(path("part.nc"), kSavedAsUnicode)},
      {"UTF-32 BE", std::string("\0\0\xFE\xFF\0\0\0G", 8),
       unicode + cause(path("part.nc"), kSavedAsUnicode)},
      {"a shortcut", kShortcutBytes, kOpenFailed + cause(path("part.nc"), kShortcut)},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + g00, ""},
  };
  for (const Case& c : cases) {
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {}, {"--words"}, {"--stdout"}, {"--words", "--stdout"}}) {
      std::string traced = c.name;
      for (const std::string& option : options) traced += " " + option;
      SCOPED_TRACE(traced);
      writeFile(path("part.nc"), c.data);
      writeFile(path("part" + kDone + ".ncd"), "earlier output");
      std::vector<std::string> args = options;
      args.push_back(path("part.nc"));
      const ProgramRun run = runProgram(args);
      const auto given = [&](const char* option) {
        return std::find(options.begin(), options.end(), option) != options.end();
      };
      const bool toStandardOutput = given("--stdout");
      const bool words = given("--words");
      const std::string rewritten =
          asRewritten(c.data, words ? "(Tarvelin Ver 1.07 words)\r\n" : kHeader);
      EXPECT_EQ(run.status, c.message.empty() ? 0 : 255);
      EXPECT_EQ(toStandardOutput ? run.err : run.out,
                kBanner + (c.message.empty() ? "part\n" + kAllDone : c.message));
      EXPECT_EQ(toStandardOutput ? run.out : readFile(path("part" + kDone + ".ncd")),
                c.message.empty()  ? rewritten
                : toStandardOutput ? ""
                                   : "earlier output");
      EXPECT_EQ(listDir(dir).size(), 2u);
    }
  }
}

TEST_F(HostileInput, ReadOnlyFolderIsAnOpenFailure) {
  if (geteuid() != 0 || mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=1m") != 0) {
    GTEST_SKIP() << "read-only test needs root to mount a tmpfs";
  }
  writeFile(path("part.nc"), "G00Z1.\n");
  writeFile(path("part" + kDone + ".ncd"), "earlier output");
  const bool readOnly = mount("tmpfs", dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "") == 0;
  const ProgramRun run = runProgram({path("part.nc")});
  const std::vector<std::string> left = listDir(dir);
  const std::string earlier = readFile(path("part" + kDone + ".ncd"));
  umount(dir.c_str());
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out,
            kBanner + kOpenFailed +
                cause(path("part" + kDone + ".ncd"), "読み取り専用のファイルシステムです"));
  EXPECT_EQ(left, (std::vector<std::string>{"part.nc", "part" + kDone + ".ncd"}));
  EXPECT_EQ(earlier, "earlier output");
}

}  // namespace
