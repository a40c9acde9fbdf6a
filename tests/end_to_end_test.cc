// Runs the built program as a user would and checks console bytes, exit
// status and files.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kBanner = "NCコードにG00 Z0.050を埋め込んだりするソフトVer 1.07\n\n";
const std::string kAllDone = "全ての処理が終わりました(っ･ω･)っ\n";
const std::string kOpenFailed = "ファイルのオープンに失敗しました。\n";
const std::string kDone = "済";

struct ProgramRun {
  int status;
  std::string out;
};

// Runs the program with `args`, standard input from /dev/null.
ProgramRun runProgram(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return ProgramRun{-1, ""};
  const pid_t pid = fork();
  if (pid == 0) {
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, STDIN_FILENO);
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    std::vector<char*> argv{const_cast<char*>(TARVELIN_PROGRAM)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(TARVELIN_PROGRAM, argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  ProgramRun run{-1, ""};
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) run.out.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Returns the names in `dir`.
std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kProgram =
    "%\r\nO0001\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG01Z-0.500F100.\r\nG01X30.000F300.\r\n"
    "G00Z5.000\r\nG00X10.000Y10.000\r\nG01Z-1.000F100.\r\nM30\r\n%\r\n";
const std::string kRewritten =
    "(Tarvelin Ver 1.07)\r\n%\r\nO0001\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG00 Z0.050000\r\n"
    "G01Z-0.500F100.\r\nG01X30.000F300.\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG00 Z-0.480000\r\n"
    "G01Z-1.000F100.\r\nM30\r\n%\r\n";

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvelin-e2e-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string path(const std::string& name) const { return dir + "/" + name; }

  std::string dir;
};

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
  for (const Case& c :
       {Case{"output is a directory", path("taken.nc"), kOpenFailed},
        Case{"input is a directory", path("folder"), "ファイルの読み込みに失敗しました。\n"}}) {
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
  EXPECT_EQ(run.out, kBanner + "ファイルの書き込みに失敗しました。\n");
  EXPECT_EQ(left, (std::vector<std::string>{"part.nc", "part" + kDone + ".ncd"}));
  EXPECT_EQ(earlier, "earlier output");
}

}  // namespace
