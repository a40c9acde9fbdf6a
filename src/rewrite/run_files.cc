#include "rewrite/run_files.h"

#include <map>

#include "rewrite/file_pass.h"

std::vector<RunFile> runFiles(platform::FileSystem& fileSystem,
                              const std::vector<std::string>& given) {
  std::vector<RunFile> files;
  files.reserve(given.size());
  for (const std::string& name : given) {
    RunFile file{name, name, {}};
    file.error = fileSystem.inputName(name, &file.path);
    files.push_back(file);
  }
  return files;
}

Clash findClash(platform::FileSystem& fileSystem, const std::vector<RunFile>& files,
                const platform::PathRules& rules) {
  // Each input and each output by its key, with the first file it is of.
  std::vector<std::string> inputKeys(files.size());
  std::map<std::string, size_t> inputs;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].error) continue;
    inputKeys[i] = fileSystem.nameKey(files[i].path);
    inputs.emplace(inputKeys[i], i);
  }
  std::map<std::string, size_t> outputs;
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].error) continue;
    const std::string output = fileSystem.nameKey(outputPathFor(files[i].path, rules));
    const auto [earlier, first] = outputs.emplace(output, i);
    if (!first && inputKeys[earlier->second] != inputKeys[i]) {
      return Clash{Clash::Kind::sameOutput, earlier->second, i};
    }
    // An output that is its own input is refused by its pass, as one that cannot be opened.
    const auto input = inputs.find(output);
    if (input != inputs.end() && input->first != inputKeys[i]) {
      return Clash{Clash::Kind::outputIsInput, i, input->second};
    }
  }
  return {};
}
