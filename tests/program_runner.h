// Runs the built program as a user would, for the end-to-end tests.
#ifndef TARVELIN_TESTS_PROGRAM_RUNNER_H_
#define TARVELIN_TESTS_PROGRAM_RUNNER_H_

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

inline const std::string kBanner = "NCコードにG00 Z0.050を埋め込んだりするソフトVer 1.07\n\n";
inline const std::string kEnglishBanner =
    "Tarvelin Ver 1.07: embeds G00 Z0.050 and the like in NC code\n\n";
inline const std::string kAllDone = "全ての処理が終わりました(っ･ω･)っ\n";
inline const std::string kOpenFailed = "ファイルのオープンに失敗しました。\n";
inline const std::string kReadFailed = "ファイルの読み込みに失敗しました。\n";
inline const std::string kWriteFailed = "ファイルの書き込みに失敗しました。\n";
inline const std::string kDone = "済";
// The causes that follow a failure's message, in Japanese.
inline const std::string kNoSuchFile = "そのようなファイルやフォルダーはありません";
inline const std::string kNoPermission = "アクセスが許可されていません";
inline const std::string kFolder = "フォルダーです";
inline const std::string kNotAFile = "通常のファイルではありません";
inline const std::string kOutputIsInput =
    "変換元ファイルそのものにつながっているので、置き換えません";
inline const std::string kSavedAsUnicode =
    "Unicode で保存されています。ANSI か UTF-8 で保存し直してください";
inline const std::string kShortcut =
    "Windows のショートカットです。指している先のファイルを指定してください";
inline const std::string kHeader = "(Tarvelin Ver 1.07)\r\n";
// A program as Notepad saves it as "Unicode": UTF-16 LE after its byte-order mark.
inline const std::string kUtf16Program("\xFF\xFE%\0\r\0\n\0G\0\x30\0\x30\0Z\0\x35\0\r\0\n\0", 22);
// The first bytes of a Windows shortcut (.lnk): its header's size and class.
inline const std::string kShortcutBytes(
    "\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46\x9B\0\x08\0\x20\0\0\0", 28);

// Returns the line that names the file a failure concerns, and its cause.
inline std::string cause(const std::string& path, const std::string& words) {
  return path + ": " + words + "\n";
}

struct ProgramRun {
  int status;       // exit status, or -1 when killed
  int signal;       // the signal that ended it, or 0
  std::string out;  // everything printed on standard output
  std::string err;  // everything printed on standard error
  long peakKib;     // peak resident memory; swollen by the test's own unless measured
};

// The program started with `args`, standard input from /dev/null: the built
// one, or the copy of it at `program`. With
// `measureMemory`, it runs under /usr/bin/time, whose figure is not swollen
// by the memory of the test that forked it. `inChild` runs in the new process
// just before the program starts. The program looks for its settings file
// under XDG_CONFIG_HOME, which points nowhere unless `inChild` sets it,
// reports no progress unless `inChild` sets AXIS_PROGRESS_BAR, and speaks
// Japanese, the language of a Japanese locale (LANG), unless `inChild` says
// otherwise.
class RunningProgram {
 public:
  explicit RunningProgram(const std::vector<std::string>& args, bool measureMemory = false,
                          const std::function<void()>& inChild = {},
                          const std::string& program = TARVELIN_PROGRAM)
      : measured_(measureMemory) {
    char pattern[] = "/tmp/tarvelin-rss-XXXXXX";
    if (measured_) {
      close(mkstemp(pattern));
      rssFile_ = pattern;
    }
    int fds[2];
    int errFds[2];
    if (pipe(fds) != 0 || pipe(errFds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      const int devNull = open("/dev/null", O_RDONLY);
      dup2(devNull, STDIN_FILENO);
      dup2(fds[1], STDOUT_FILENO);
      dup2(errFds[1], STDERR_FILENO);
      close(fds[0]);
      close(errFds[0]);
      setenv("XDG_CONFIG_HOME", "/nonexistent/tarvelin-test", 1);
      unsetenv("AXIS_PROGRESS_BAR");
      setenv("LANG", "ja_JP.UTF-8", 1);
      unsetenv("LC_ALL");
      unsetenv("LC_MESSAGES");
      if (inChild) inChild();
      std::vector<char*> argv;
      if (measured_) {
        for (const char* word : {"/usr/bin/time", "-f", "%M", "-o"}) {
          argv.push_back(const_cast<char*>(word));
        }
        argv.push_back(rssFile_.data());
      }
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    close(errFds[1]);
    out_ = fds[0];
    err_ = errFds[0];
  }

  pid_t pid() const { return pid_; }

  // Waits for the end and returns what the run did.
  ProgramRun finish() {
    ProgramRun run{-1, 0, "", "", 0};
    // The program writes little to standard error, so it cannot fill the pipe
    // while standard output is read to its end.
    for (auto [fd, text] : {std::pair{out_, &run.out}, std::pair{err_, &run.err}}) {
      char buffer[4096];
      ssize_t n;
      while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text->append(buffer, static_cast<size_t>(n));
      close(fd);
    }
    int status = 0;
    rusage usage{};
    wait4(pid_, &status, 0, &usage);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.peakKib = usage.ru_maxrss;
    if (measured_) {
      std::ifstream(rssFile_) >> run.peakKib;
      unlink(rssFile_.c_str());
    }
    return run;
  }

 private:
  bool measured_;
  std::string rssFile_;
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

inline ProgramRun runProgram(const std::vector<std::string>& args) {
  return RunningProgram(args).finish();
}

// Returns a copy of the built program in `folder`, for a run as another
// user, who may not reach the build's own folder (a clone in a private
// temporary folder, say).
inline std::string programCopyIn(const std::string& folder) {
  const std::string copy = folder + "/tarvelin";
  std::ifstream in(TARVELIN_PROGRAM, std::ios::binary);
  std::ofstream(copy, std::ios::binary) << in.rdbuf();
  chmod(copy.c_str(), 0755);
  return copy;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

inline bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Returns the names in `dir`, sorted.
inline std::vector<std::string> listDir(const std::string& dir) {
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

// A fresh folder for each test, removed afterwards.
class ProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvelin-test-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string path(const std::string& name) const { return dir + "/" + name; }

  std::string dir;
};

#endif  // TARVELIN_TESTS_PROGRAM_RUNNER_H_
