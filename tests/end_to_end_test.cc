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
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  const bool root = geteuid() == 0;
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
  ASSERT_EQ(chmod(path("shut").c_str(), 0755), 0);
  EXPECT_EQ(listDir(path("shut")), (std::vector<std::string>{"part.nc"}));
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
