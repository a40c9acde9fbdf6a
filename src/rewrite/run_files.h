// The files of one run, named before any of them is touched: what each name
// on the command line is read as, and where two of them would meet.
#ifndef TARVELIN_REWRITE_RUN_FILES_H_
#define TARVELIN_REWRITE_RUN_FILES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// A file named on the command line.
struct RunFile {
  std::string given;      // as named
  std::string path;       // as read and its output named (see FileSystem::inputName)
  platform::Error error;  // why `given` leads to no file to read, where it does not
};

// Returns the files named `given`, each as the run reads it.
std::vector<RunFile> runFiles(platform::FileSystem& fileSystem,
                              const std::vector<std::string>& given);

// Two files of a run that would meet, by their places in it.
struct Clash {
  enum class Kind : uint8_t {
    none,
    sameOutput,     // two different inputs, `first` and `second`, with one output
    outputIsInput,  // the output of `first` is another input, `second`
  };
  Kind kind = Kind::none;
  size_t first = 0;
  size_t second = 0;

  explicit operator bool() const { return kind != Kind::none; }
  bool operator==(const Clash&) const = default;
};

// Returns the first clash among `files`, outputs named by `rules`: two
// different inputs that would be written to one output, where the later
// would replace the earlier's rewrite, or an output that is another input,
// which would be replaced by it before or after it is read. The same input
// named twice is no clash; files with an error are left out.
Clash findClash(platform::FileSystem& fileSystem, const std::vector<RunFile>& files,
                const platform::PathRules& rules);

#endif  // TARVELIN_REWRITE_RUN_FILES_H_
