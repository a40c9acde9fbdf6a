// How an output is put in place: unseen while it is written, so that an
// interrupted run leaves nothing behind; over an earlier output with its
// permissions and owner; through a symbolic link into the file it names.
#include <pty.h>
#include <sched.h>
#include <sys/mount.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "program_runner.h"

namespace {

using OutputFile = ProgramTest;

const std::string kOutput = "part" + kDone + ".ncd";
const std::string kLine = "G01X12.345Y67.890\r\n";  // copied as it is

// Returns `count` copies of kLine.
std::string copiesOfLine(size_t count) {
  std::string text;
  text.reserve(count * kLine.size());
  while (count-- > 0) text += kLine;
  return text;
}

// Waits up to ten seconds for `done`; returns whether it came.
bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Returns the size of the regular file in `dir`, named or not, that process
// `pid` has open; -1 when there is none.
off_t openFileSize(pid_t pid, const std::string& dir) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
  for (const std::string& fd : listDir(fds)) {
    char target[4096];
    const ssize_t n = readlink((fds + fd).c_str(), target, sizeof target);
    struct stat info;
    if (n > 0 && std::string(target, static_cast<size_t>(n)).rfind(dir + "/", 0) == 0 &&
        stat((fds + fd).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      return info.st_size;
    }
  }
  return -1;
}

// Hides the calling process's /proc/self/fd behind an empty mount of its own,
// as on a system without /proc, where a file without a name can never be
// given one; false when that is not allowed.
bool hideOwnFds() {
  const std::string fds = "/proc/" + std::to_string(getpid()) + "/fd";
  return unshare(CLONE_NEWNS) == 0 &&
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         mount("tmpfs", fds.c_str(), "tmpfs", 0, "size=4k") == 0;
}

// True when hideOwnFds() works here (it needs root), tried in a child process.
bool canHideFds() {
  const pid_t child = fork();
  if (child == 0) _exit(hideOwnFds() ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(OutputFile, AnInterruptedRunLeavesNothingBehind) {
  std::signal(SIGPIPE, SIG_IGN);  // a program that ends early must fail the test, not end it
  struct Case {
    int signal;
    bool named;    // /proc/self/fd hidden: the temporary file must have a name
    bool ignored;  // the signal was ignored when the run started, as under nohup
  };
  const bool canName = geteuid() == 0 && canHideFds();
  int number = 0;
  for (const Case c :
       {Case{SIGINT, false, false}, Case{SIGTERM, false, false}, Case{SIGHUP, false, false},
        Case{SIGKILL, false, false}, Case{SIGINT, true, false}, Case{SIGTERM, true, false},
        Case{SIGHUP, true, false}, Case{SIGHUP, false, true}, Case{SIGHUP, true, true}}) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.named ? ", named" : ", unnamed") +
                 (c.ignored ? ", ignored" : ""));
    if (c.named && !canName) {
      std::printf("skipped: hiding /proc/self/fd needs root\n");
      continue;
    }
    const std::string folder = path(std::to_string(++number));
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    const std::string input = folder + "/part.nc";
    ASSERT_EQ(mkfifo(input.c_str(), 0666), 0);
    writeFile(folder + "/" + kOutput, "earlier output");
    RunningProgram program({input}, false, [c] {
      if (c.named && !hideOwnFds()) _exit(126);
      if (c.ignored) std::signal(c.signal, SIG_IGN);
    });
    // Mid-rewrite: more than the reader holds has been read, and some written.
    const int fifo = open(input.c_str(), O_WRONLY);
    ASSERT_GE(fifo, 0);
    const std::string text = copiesOfLine(200000);
    ASSERT_EQ(write(fifo, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    EXPECT_TRUE(waitFor([&] { return openFileSize(program.pid(), folder) > 0; }));
    const std::vector<std::string> during = listDir(folder);
    kill(program.pid(), c.signal);
    close(fifo);
    const ProgramRun run = program.finish();
    const std::string output = readFile(folder + "/" + kOutput);

    // Unseen while written, unless it must have a name.
    EXPECT_EQ(during.size(), c.named ? 3u : 2u);
    EXPECT_EQ(!during.empty() && during[0].rfind(".tarvelin-", 0) == 0, c.named);
    EXPECT_EQ(listDir(folder), (std::vector<std::string>{"part.nc", kOutput}));
    if (c.ignored) {
      EXPECT_EQ(run.status, 0);
      EXPECT_TRUE(output == kHeader + text);
    } else {
      EXPECT_EQ(run.signal, c.signal);
      EXPECT_EQ(output, "earlier output");
    }
  }
}

TEST_F(OutputFile, AnInterruptDuringTheKeyWaitEndsTheRunAndRestoresTheTerminal) {
  writeFile(path("part.nc"), kLine);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    int terminal = -1;
    int user = -1;
    ASSERT_EQ(openpty(&terminal, &user, nullptr, nullptr, nullptr), 0);
    RunningProgram program({path("part.nc")}, false, [user] { dup2(user, STDIN_FILENO); });
    termios mode{};
    EXPECT_TRUE(waitFor([&] { return tcgetattr(user, &mode) == 0 && (mode.c_lflag & ECHO) == 0; }));
    kill(program.pid(), signal);
    const ProgramRun run = program.finish();
    ASSERT_EQ(tcgetattr(user, &mode), 0);
    close(user);
    close(terminal);
    EXPECT_EQ(run.signal, signal);
    EXPECT_EQ(mode.c_lflag & (ECHO | ICANON | ISIG), static_cast<tcflag_t>(ECHO | ICANON | ISIG));
    EXPECT_EQ(readFile(path(kOutput)), kHeader + kLine);
  }
}

TEST_F(OutputFile, AReplacedOutputKeepsItsPermissionsAndOwner) {
  writeFile(path("part.nc"), kLine);
  const bool root = geteuid() == 0;
  for (const mode_t mode : {0600, 0640, 0751}) {
    writeFile(path(kOutput), "earlier output");
    ASSERT_EQ(chmod(path(kOutput).c_str(), mode), 0);
    if (root) {
      ASSERT_EQ(chown(path(kOutput).c_str(), 1234, 5678), 0);
    }
    const ProgramRun run = runProgram({path("part.nc")});
    struct stat info;
    ASSERT_EQ(stat(path(kOutput).c_str(), &info), 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
    if (root) {
      EXPECT_EQ(info.st_uid, 1234u);
      EXPECT_EQ(info.st_gid, 5678u);
    }
    EXPECT_EQ(readFile(path(kOutput)), kHeader + kLine);
  }
}

// Room is set aside for an output as large as its input; an output that
// turns out smaller, here ended by an end-of-text mark that only line ends
// follow, keeps none of the rest.
TEST_F(OutputFile, AnOutputTakesNoMoreRoomThanItsText) {
  writeFile(path("part.nc"), kLine + "\x1A" + std::string(size_t{10} << 20, '\n'));
  const ProgramRun run = runProgram({path("part.nc")});
  struct stat info;
  ASSERT_EQ(stat(path(kOutput).c_str(), &info), 0);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(path(kOutput)), kHeader + kLine);
  EXPECT_LE(info.st_blocks * 512, 64 << 10);
}

TEST_F(OutputFile, ASymbolicLinkHasTheFileItNamesRewritten) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // a leading '/' is the case's folder
    std::string rewritten;                                   // the file that gets the rewrite
  };
  const std::vector<Case> cases = {
      {"relative", {{kOutput, "out/real.ncd"}}, "out/real.ncd"},
      {"absolute", {{kOutput, "/out/real.ncd"}}, "out/real.ncd"},
      {"chain", {{kOutput, "hop"}, {"hop", "out/real.ncd"}}, "out/real.ncd"},
      {"relative to its folder", {{kOutput, "out/hop"}, {"out/hop", "real.ncd"}}, "out/real.ncd"},
      {"dangling", {{kOutput, "out/new.ncd"}}, "out/new.ncd"},
      {"to a pipe, replaced itself", {{kOutput, "out/pipe"}}, kOutput},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const std::string folder = path(std::to_string(i));
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(mkdir((folder + "/out").c_str(), 0777), 0);
    ASSERT_EQ(mkfifo((folder + "/out/pipe").c_str(), 0666), 0);
    writeFile(folder + "/out/real.ncd", "earlier output");
    writeFile(folder + "/part.nc", kLine);
    for (const auto& [name, target] : c.links) {
      const std::string to = target[0] == '/' ? folder + target : target;
      ASSERT_EQ(symlink(to.c_str(), (folder + "/" + name).c_str()), 0);
    }
    const ProgramRun run = runProgram({folder + "/part.nc"});
    struct stat link;
    ASSERT_EQ(lstat((folder + "/" + kOutput).c_str(), &link), 0);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readFile(folder + "/" + c.rewritten), kHeader + kLine);
    EXPECT_EQ(S_ISLNK(link.st_mode), c.rewritten != kOutput);
    if (c.rewritten != "out/real.ncd") {
      EXPECT_EQ(readFile(folder + "/out/real.ncd"), "earlier output");
    }
    struct stat pipe;
    EXPECT_TRUE(stat((folder + "/out/pipe").c_str(), &pipe) == 0 && S_ISFIFO(pipe.st_mode));
    for (const std::string& name : listDir(folder)) EXPECT_NE(name.rfind(".tarvelin", 0), 0u);
    for (const std::string& name : listDir(folder + "/out"))
      EXPECT_NE(name.rfind(".tarvelin", 0), 0u);
  }
}

// An output that is the input itself, however it leads there, is refused
// before anything is written, and the input stays as it was: a rewrite over
// it would lose the program, and standard output appended to it would be read
// back until the disk is full (as the file's owner, or as another user, whom
// the system does not tell that the file is held open for writing). Files
// are kept small and runs short, in case the refusal fails.
TEST_F(OutputFile, AnOutputThatIsTheInputIsRefused) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // name, target; a '=' target: hard
    std::string input;
    bool toStandardOutput;
    bool asAnotherUser;
  };
  const std::string program = "G00Z1.\r\nG00X1.\r\nG01Z-1.F9\r\n";
  const std::vector<Case> cases = {
      {"output a link to the input", {{kOutput, "part.nc"}}, "part.nc", false, false},
      {"output a hard link", {{kOutput, "=part.nc"}}, "part.nc", false, false},
      {"output a chain of links", {{"hop", "part.nc"}, {kOutput, "hop"}}, "part.nc", false, false},
      {"input a link to the output", {{"in.nc", "in" + kDone + ".ncd"}}, "in.nc", false, false},
      {"standard output appended to it", {}, "part.nc", true, false},
      {"the same as another user", {}, "part.nc", true, true},
  };
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  const std::string copy = programCopyIn(dir);
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    if (c.asAnotherUser && !root) {
      std::printf("skipped: running as another user needs root\n");
      continue;
    }
    const std::string folder = path(std::to_string(i));
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    const std::string real = c.input == "in.nc" ? "in" + kDone + ".ncd" : "part.nc";
    writeFile(folder + "/" + real, program);
    ASSERT_EQ(chmod((folder + "/" + real).c_str(), 0666), 0);
    for (const auto& [name, target] : c.links) {
      const std::string from = folder + "/" + name;
      ASSERT_EQ(target[0] == '=' ? link((folder + "/" + target.substr(1)).c_str(), from.c_str())
                                 : symlink(target.c_str(), from.c_str()),
                0);
    }
    const std::vector<std::string> before = listDir(folder);
    const std::string input = folder + "/" + c.input;
    std::vector<std::string> args = {input};
    if (c.toStandardOutput) args.insert(args.begin(), "--stdout");
    const ProgramRun run =
        RunningProgram(
            args, false,
            [&c, &input] {
              if (c.asAnotherUser && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(126);
              }
              if (c.toStandardOutput) {
                dup2(open(input.c_str(), O_WRONLY | O_APPEND), STDOUT_FILENO);
              }
              const rlimit small{1 << 20, 1 << 20};
              setrlimit(RLIMIT_FSIZE, &small);
              std::signal(SIGXFSZ, SIG_IGN);
              alarm(10);
            },
            copy)
            .finish();
    const std::string output = folder + "/" + (c.input == "in.nc" ? "in" : "part") + kDone + ".ncd";
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(c.toStandardOutput ? run.err : run.out,
              kBanner + kOpenFailed +
                  (c.toStandardOutput ? cause(input, "標準出力がこのファイルにつながっています")
                                      : cause(output, kOutputIsInput)));
    EXPECT_EQ(readFile(folder + "/" + real), program);
    EXPECT_EQ(listDir(folder), before);
  }
}

TEST_F(OutputFile, AStrangersLinkInASharedFolderIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  // As the kernel's protected_symlinks would refuse it in /tmp: a link put
  // there by someone else must not aim the output at the user's own files.
  ASSERT_EQ(mkdir(path("shared").c_str(), 01777), 0);
  ASSERT_EQ(chmod(path("shared").c_str(), 01777), 0);
  writeFile(path("shared/part.nc"), kLine);
  writeFile(path("mine.ncd"), "the user's own file");
  ASSERT_EQ(symlink(path("mine.ncd").c_str(), path("shared/" + kOutput).c_str()), 0);
  ASSERT_EQ(lchown(path("shared/" + kOutput).c_str(), 1234, 1234), 0);
  const ProgramRun run = runProgram({path("shared/part.nc")});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, kBanner + kOpenFailed +
                         cause(path("shared/" + kOutput),
                               "共有フォルダーにあるほかのユーザーのリンクなので、たどりません"));
  EXPECT_EQ(readFile(path("mine.ncd")), "the user's own file");
  EXPECT_EQ(listDir(path("shared")), (std::vector<std::string>{"part.nc", kOutput}));
}

}  // namespace
