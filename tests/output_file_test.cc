// How an output is put in place: unseen while it is written, so that an
// interrupted run leaves nothing behind.
#include <pty.h>
#include <sched.h>
#include <sys/mount.h>

#include <chrono>
#include <cstring>
#include <thread>

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

}  // namespace
