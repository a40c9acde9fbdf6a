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
  EXPECT_EQ(run.out, kBanner + "a\n" + kOpenFailed);
  EXPECT_EQ(readFile(path("a" + kDone + ".ncd")), kRewritten);
  EXPECT_FALSE(exists(path("c" + kDone + ".ncd")));
}

TEST_F(EndToEnd, EmptyArgumentCannotBeOpened) {
  const ProgramRun run = runProgram({""});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + kOpenFailed);
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
  for (const Case& c : {Case{"output is a directory", path("taken.nc"), kOpenFailed},
                        Case{"input is a directory", path("folder"), kOpenFailed}}) {
    const ProgramRun run = runProgram({c.input});
    EXPECT_EQ(run.status, 255) << c.name;
    EXPECT_EQ(run.out, kBanner + c.message) << c.name;
  }
  EXPECT_EQ(listDir(dir),
            (std::vector<std::string>{"folder", "taken.nc", "taken" + kDone + ".ncd"}));
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
  const std::vector<std::string> left = listDir(dir);
  const std::string earlier = readFile(path("part" + kDone + ".ncd"));
  umount(dir.c_str());
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + kWriteFailed);
  EXPECT_EQ(left, (std::vector<std::string>{"part.nc", "part" + kDone + ".ncd"}));
  EXPECT_EQ(earlier, "earlier output");
}

}  // namespace
