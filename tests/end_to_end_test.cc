// Runs the built program as a user would and checks console bytes, exit
// status and files.
#include <sys/mount.h>

#include "program_runner.h"

namespace {

const std::string kProgram =
    "%\r\nO0001\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG01Z-0.500F100.\r\nG01X30.000F300.\r\n"
    "G00Z5.000\r\nG00X10.000Y10.000\r\nG01Z-1.000F100.\r\nM30\r\n%\r\n";
const std::string kRewritten =
    "(Tarvelin Ver 1.07)\r\n%\r\nO0001\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG00 Z0.050000\r\n"
    "G01Z-0.500F100.\r\nG01X30.000F300.\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG00 Z-0.480000\r\n"
    "G01Z-1.000F100.\r\nM30\r\n%\r\n";

using EndToEnd = ProgramTest;

TEST_F(EndToEnd, NoArgumentsShowsUsage) {
  const ProgramRun run = runProgram({});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner +
                         "TarvelinはGUIに対応していません(^･ω･^)\n"
                         "Tarvelin.exeに直接変換元ファイルをドラッグしてください(^･ω･^)\n"
                         "Send Toにショートカットを登録しておくと何かと楽ですお(^･ω･^)\n");
}

TEST_F(EndToEnd, RewritesOneFile) {
  writeFile(path("part.nc"), kProgram);
  const mode_t saved = umask(022);
  const ProgramRun run = runProgram({path("part.nc")});
  umask(saved);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "part\n" + kAllDone);
  EXPECT_EQ(readFile(path("part" + kDone + ".ncd")), kRewritten);
  struct stat info;
  ASSERT_EQ(stat(path("part" + kDone + ".ncd").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(listDir(dir), (std::vector<std::string>{"part.nc", "part" + kDone + ".ncd"}));
}

TEST_F(EndToEnd, StopsAtTheFirstMissingFile) {
  writeFile(path("a.nc"), kProgram);
  writeFile(path("c.nc"), kProgram);
  const ProgramRun run = runProgram({path("a.nc"), path("b.nc"), path("c.nc")});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + "a\n" + kOpenFailed + cause(path("b.nc"), kNoSuchFile));
  EXPECT_EQ(readFile(path("a" + kDone + ".ncd")), kRewritten);
  EXPECT_FALSE(exists(path("c" + kDone + ".ncd")));
}

TEST_F(EndToEnd, EmptyArgumentCannotBeOpened) {
  const ProgramRun run = runProgram({""});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + kOpenFailed + cause("\"\"", kNoSuchFile));
}

TEST_F(EndToEnd, SamePathTwiceAndDottedFolders) {
  ASSERT_EQ(mkdir(path("cam.out").c_str(), 0777), 0);
  writeFile(path("cam.out/part"), kProgram);
  const ProgramRun run = runProgram({path("cam.out/part"), path("cam.out/part")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kBanner + "part\npart\n" + kAllDone);
  EXPECT_EQ(readFile(path("cam.out/part" + kDone + ".ncd")), kRewritten);
  EXPECT_FALSE(exists(path("cam" + kDone + ".ncd")));
}

TEST_F(EndToEnd, FailuresLeaveNothingHalfWritten) {
  struct Case {
    const char* name;
    std::string input;
    std::string message;
  };
  ASSERT_EQ(mkdir(path("taken" + kDone + ".ncd").c_str(), 0777), 0);
  writeFile(path("taken.nc"), kProgram);
  ASSERT_EQ(mkdir(path("folder").c_str(), 0777), 0);
  for (const Case& c : {Case{"output is a directory", path("taken.nc"),
                             kOpenFailed + cause(path("taken" + kDone + ".ncd"), kFolder)},
                        Case{"input is a directory", path("folder"),
                             kOpenFailed + cause(path("folder"), kFolder)}}) {
    const ProgramRun run = runProgram({c.input});
    EXPECT_EQ(run.status, 255) << c.name;
    EXPECT_EQ(run.out, kBanner + c.message) << c.name;
  }
  EXPECT_EQ(listDir(dir),
            (std::vector<std::string>{"folder", "taken.nc", "taken" + kDone + ".ncd"}));
}

// Two inputs that would be written to one output, or an output that is
// another input, stop the run before any file is touched, in both
// languages: the later rewrite would replace the earlier, or a file given
// would be replaced by another's copy. Names count as the system resolves
// them; the same input named twice is rewritten twice.
TEST_F(EndToEnd, FilesThatWouldMeetStopTheRunBeforeAnyIsTouched) {
  enum class Meet { no, sameOutput, outputIsInput };
  struct Case {
    const char* name;
    std::vector<std::string> files;  // made with kProgram before the run
    std::vector<std::string> args;
    Meet meet;
    std::string first, second, at;  // as the message names them
  };
  // The first line of each message, in Japanese and in English.
  const std::string sameOutputLine[] = {
      "二つのファイルの変換先が同じなので、どのファイルも変換しませんでした。\n",
      "Two files would be converted to one name, so no file was converted.\n"};
  const std::string outputIsInputLine[] = {
      "変換先がほかの変換元ファイルなので、どのファイルも変換しませんでした。\n",
      "A copy would replace another file given, so no file was converted.\n"};
  const std::string work = "WORK" + kDone + ".ncd";
  const std::string partOutput = "part" + kDone + ".ncd";
  const Case cases[] = {
      {"setups numbered by extension",
       {"WORK.001", "WORK.002"},
       {"WORK.001", "WORK.002"},
       Meet::sameOutput,
       "WORK.001",
       "WORK.002",
       work},
      {"two extensions, one a path",
       {"part.nc", "part.tap"},
       {"part.nc", "d/../part.tap"},
       Meet::sameOutput,
       "part.nc",
       "d/../part.tap",
       partOutput},
      {"an output name that is a link to another's",
       {"a.nc", "b.nc"},
       {"a.nc", "b.nc"},
       Meet::sameOutput,
       "a.nc",
       "b.nc",
       "a" + kDone + ".ncd"},
      {"an input that is another's output",
       {"part.nc", partOutput},
       {"part.nc", partOutput},
       Meet::outputIsInput,
       "part.nc",
       partOutput,
       partOutput},
      {"the same, the other way round",
       {"part.nc", partOutput},
       {partOutput, "part.nc"},
       Meet::outputIsInput,
       "part.nc",
       partOutput,
       partOutput},
      {"one input named two ways",
       {"part.nc"},
       {"part.nc", "./d/../part.nc"},
       Meet::no,
       "",
       "",
       ""},
  };
  for (const bool english : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (english ? ", in English" : ", in Japanese"));
      ASSERT_EQ(std::system(("rm -rf '" + dir + "'/*").c_str()), 0);
      ASSERT_EQ(mkdir(path("d").c_str(), 0777), 0);
      for (const std::string& file : c.files) writeFile(path(file), kProgram);
      ASSERT_EQ(symlink(("a" + kDone + ".ncd").c_str(), path("b" + kDone + ".ncd").c_str()), 0);
      const std::vector<std::string> before = listDir(dir);
      const ProgramRun run = RunningProgram(c.args, false, [&] {
                               if (english) setenv("LC_ALL", "en_US.UTF-8", 1);
                               if (chdir(dir.c_str()) != 0) _exit(125);
                             }).finish();
      if (c.meet == Meet::no) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(readFile(path(partOutput)), kRewritten);
        continue;
      }
      const bool same = c.meet == Meet::sameOutput;
      const std::string first = english ? "\"" + c.first + "\"" : "「" + c.first + "」";
      const std::string second = english ? "\"" + c.second + "\"" : "「" + c.second + "」";
      const std::string why = english ? (same ? "The copy of both " + first + " and " + second
                                              : "Also the copy of " + first)
                                      : (same ? first + "と" + second + "の両方の変換先です"
                                              : first + "の変換先でもあります");
      const std::string message = (same ? sameOutputLine : outputIsInputLine)[english ? 1 : 0];
      EXPECT_EQ(run.status, 255);
      EXPECT_EQ(run.out, (english ? kEnglishBanner : kBanner) + message + cause(c.at, why));
      EXPECT_EQ(listDir(dir), before);
    }
  }
}

// Each cause of a failure, in both languages: the message as it always read,
// then the file as it was given, or the copy's name made from it, and why.
// Run in the test's folder with names as a user types them, and as another
// user where the test runs as root, so that permissions count.
TEST_F(EndToEnd, EveryFailureNamesItsFileAndItsCauseInBothLanguages) {
  struct Case {
    const char* name;
    std::string argument;
    std::string file;         // as the cause line names it
    std::string japanese[2];  // the message, the cause
    std::string english[2];
  };
  const std::string openFailed = "A file could not be opened.\n";
  const Case cases[] = {
      {"missing",
       "missing.nc",
       "missing.nc",
       {kOpenFailed, kNoSuchFile},
       {openFailed, "No such file or folder"}},
      {"unreadable",
       "closed.nc",
       "closed.nc",
       {kOpenFailed, kNoPermission},
       {openFailed, "Permission denied"}},
      {"a folder", "folder.nc", "folder.nc", {kOpenFailed, kFolder}, {openFailed, "Is a folder"}},
      {"a device",
       "/dev/zero",
       "/dev/zero",
       {kOpenFailed, kNotAFile},
       {openFailed, "Not a regular file"}},
      {"the output a link to the input",
       "self.nc",
       "self" + kDone + ".ncd",
       {kOpenFailed, kOutputIsInput},
       {openFailed, "Leads to the input file itself; not replaced"}},
      {"a read-only output folder",
       "shut/part.nc",
       "shut/part" + kDone + ".ncd",
       {kOpenFailed, kNoPermission},
       {openFailed, "Permission denied"}},
      {"text after a 0x1A",
       "ctrl_z.nc",
       "ctrl_z.nc",
       {"ファイルの途中に終端文字(0x1A)があります。\n",
        "3行目の終端文字 (0x1A, Ctrl-Z) の後にもプログラムが続いています"},
       {"There is an end-of-file character (0x1A) in the middle of a file.\n",
        "More of the program follows the 0x1A (Ctrl-Z) on line 3"}},
      {"saved as Unicode",
       "unicode.nc",
       "unicode.nc",
       {"ファイルの文字コードに対応していません。\n", kSavedAsUnicode},
       {"A file is in a text encoding that Tarvelin does not read.\n",
        "Saved as Unicode text; save it as ANSI or UTF-8"}},
      {"a Windows shortcut",
       "part.nc.lnk",
       "part.nc.lnk",
       {kOpenFailed, kShortcut},
       {openFailed, "A Windows shortcut, not a program; give the file it points to"}},
      {"held open for writing",
       "held.nc",
       "held.nc",
       {kOpenFailed, "ほかのプログラムが書き込み用に開いています。閉じてやり直してください"},
       {openFailed, "Held open for writing by another program; close it there and run again"}},
  };
  writeFile(path("closed.nc"), kProgram);
  ASSERT_EQ(chmod(path("closed.nc").c_str(), 0), 0);
  ASSERT_EQ(mkdir(path("folder.nc").c_str(), 0777), 0);
  writeFile(path("self.nc"), kProgram);
  ASSERT_EQ(symlink("self.nc", path("self" + kDone + ".ncd").c_str()), 0);
  ASSERT_EQ(mkdir(path("shut").c_str(), 0777), 0);
  writeFile(path("shut/part.nc"), kProgram);
  ASSERT_EQ(chmod(path("shut").c_str(), 0555), 0);
  writeFile(path("ctrl_z.nc"), "G00Z5.\r\nG00X1.\r\nG01Z-1\x1A(more)\r\nM30\r\n");
  writeFile(path("unicode.nc"), kUtf16Program);
  writeFile(path("part.nc.lnk"), kShortcutBytes);
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  const bool root = geteuid() == 0;
  // Held open for writing here, as a DNC program may hold it; the system
  // tells only the file's owner, who runs the program.
  writeFile(path("held.nc"), kProgram);
  ASSERT_TRUE(!root || chown(path("held.nc").c_str(), 65534, 65534) == 0);
  const int writer = open(path("held.nc").c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  const std::string program = programCopyIn(dir);
  for (const bool english : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (english ? ", in English" : ", in Japanese"));
      const ProgramRun run = RunningProgram(
                                 {c.argument}, false,
                                 [&] {
                                   if (english) setenv("LC_ALL", "en_US.UTF-8", 1);
                                   if (chdir(dir.c_str()) != 0) _exit(125);
                                   if (root && (setgid(65534) != 0 || setuid(65534) != 0))
                                     _exit(126);
                                 },
                                 program)
                                 .finish();
      const std::string* words = english ? c.english : c.japanese;
      EXPECT_EQ(run.status, 255);
      EXPECT_EQ(run.out, (english ? kEnglishBanner : kBanner) + words[0] + cause(c.file, words[1]));
    }
  }
  close(writer);
  ASSERT_EQ(chmod(path("shut").c_str(), 0755), 0);
  EXPECT_EQ(listDir(path("shut")), (std::vector<std::string>{"part.nc"}));
  for (const char* name : {"unicode", "part.nc", "held"}) {
    EXPECT_FALSE(exists(path(name + kDone + ".ncd"))) << name;
  }
}

TEST_F(EndToEnd, DiskFullIsAWriteFailure) {
  if (geteuid() != 0 || mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "disk-full test needs root to mount a small tmpfs";
  }
  std::string big;
  while (big.size() < 40000) big += "G01X12.345Y67.890\r\n";
  writeFile(path("part.nc"), big);
  writeFile(path("part" + kDone + ".ncd"), "earlier output");
  const ProgramRun run = runProgram({path("part.nc")});
  const ProgramRun inEnglish = runProgram({"--language=en", path("part.nc")});
  const std::vector<std::string> left = listDir(dir);
  const std::string earlier = readFile(path("part" + kDone + ".ncd"));
  umount(dir.c_str());
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + kWriteFailed +
                         cause(path("part" + kDone + ".ncd"), "ディスクに空きがありません"));
  EXPECT_EQ(inEnglish.out, kEnglishBanner + "A file could not be written.\n" +
                               cause(path("part" + kDone + ".ncd"), "No space left on the disk"));
  EXPECT_EQ(left, (std::vector<std::string>{"part.nc", "part" + kDone + ".ncd"}));
  EXPECT_EQ(earlier, "earlier output");
}

}  // namespace
