// One input file in, its rewritten "済.ncd" copy out.
#ifndef TARVELIN_REWRITE_FILE_PASS_H_
#define TARVELIN_REWRITE_FILE_PASS_H_

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rewrite/nc_text.h"

// TARVELIN_VERSION comes from the build, which takes it from the project version.
inline constexpr std::string_view kVersion = TARVELIN_VERSION;

enum class PassResult { done, openFailed, readFailed, writeFailed };

// Returns the output path: `path` without the extension of its file name (the
// last '.' after the last separator, and what follows), then the done mark and ".ncd".
std::string outputPathFor(std::string_view path, const platform::PathRules& rules);

// Returns the name to echo for `path`: its file name without the extension.
std::string_view echoNameFor(std::string_view path, const platform::PathRules& rules);

// Writes the rewritten program read from `source` to `sink`: the header
// line, then every line with approach moves in front of qualifying plunges,
// all with CR LF line ends.
PassResult rewriteStream(ByteSource& source, ByteSink& sink);

// Rewrites the file at `path` into outputPathFor(path). The output appears
// only when complete; on failure nothing of it is left and an earlier output
// file of that name is untouched.
PassResult processFile(platform::FileSystem& fileSystem, const std::string& path,
                       const platform::PathRules& rules);

#endif  // TARVELIN_REWRITE_FILE_PASS_H_
