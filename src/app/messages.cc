#include "app/messages.h"

std::string_view failureMessage(const Texts& texts, const PassResult& result) {
  switch (result.ending) {
    case PassResult::readFailed:
      return texts.readFailed;
    case PassResult::writeFailed:
      return texts.writeFailed;
    case PassResult::inputChanged:
      return texts.inputChanged;
    case PassResult::textAfterEnd:
      return texts.textAfterEnd;
    case PassResult::unicodeText:
      return texts.unicodeText;
    default:
      return texts.openFailed;
  }
}

std::string causeOf(const Texts& texts, const PassResult& result) {
  if (result.ending == PassResult::inputChanged) return std::string(texts.changedWhileRead);
  if (result.ending == PassResult::unicodeText) return std::string(texts.savedAsUnicode);
  if (result.ending == PassResult::textAfterEnd) {
    return result.line == 0 ? std::string(texts.textAfterEndSomewhere)
                            : fill(texts.textAfterEndOnLine, {std::to_string(result.line)});
  }
  switch (result.finding) {
    case PassResult::Finding::outputIsInput:
      return std::string(texts.outputIsInput);
    case PassResult::Finding::standardOutputIsInput:
      return std::string(texts.standardOutputIsInput);
    case PassResult::Finding::heldForWriting:
      return std::string(texts.heldForWriting);
    case PassResult::Finding::none:
      break;
  }
  return errorText(texts, result.error);
}

std::string errorText(const Texts& texts, platform::Error error) {
  using Kind = platform::Error::Kind;
  switch (error.kind) {
    case Kind::noSuchFile:
      return std::string(texts.noSuchFile);
    case Kind::noPermission:
      return std::string(texts.noPermission);
    case Kind::folder:
      return std::string(texts.folder);
    case Kind::notAFile:
      return std::string(texts.notAFile);
    case Kind::brokenLink:
      return std::string(texts.brokenLink);
    case Kind::badName:
      return std::string(texts.badName);
    case Kind::noSpace:
      return std::string(texts.noSpace);
    case Kind::readOnlyDisk:
      return std::string(texts.readOnlyDisk);
    case Kind::inUse:
      return std::string(texts.inUse);
    case Kind::readOnlyFile:
      return std::string(texts.readOnlyFile);
    case Kind::hiddenFile:
      return std::string(texts.hiddenFile);
    case Kind::strangersLink:
      return std::string(texts.strangersLink);
    case Kind::tooLarge:
      return std::string(texts.tooLarge);
    case Kind::shortcut:
      return std::string(texts.shortcut);
    case Kind::shortcutToFolder:
      return std::string(texts.shortcutToFolder);
    case Kind::shortcutToNothing:
      return std::string(texts.shortcutToNothing);
    case Kind::shortcutToShortcut:
      return std::string(texts.shortcutToShortcut);
    case Kind::none:
    case Kind::system:
      break;
  }
  std::string words = platform::systemErrorText(error.number, texts.language);
  return words.empty() ? fill(texts.systemError, {std::to_string(error.number)}) : words;
}

std::string causeLine(const Texts& texts, std::string_view path, std::string_view cause) {
  // An empty name is shown as it was typed.
  return fill(texts.causeLine, {path.empty() ? "\"\"" : path, cause});
}

std::string clashMessage(const Texts& texts, const Clash& clash, const std::vector<RunFile>& files,
                         std::string_view output) {
  const std::string& first = files[clash.first].given;
  const std::string& second = files[clash.second].given;
  if (clash.kind == Clash::Kind::sameOutput) {
    return std::string(texts.sameOutput) +
           causeLine(texts, output, fill(texts.copyOfBoth, {first, second}));
  }
  return std::string(texts.outputIsAnotherInput) +
         causeLine(texts, second, fill(texts.alsoCopyOf, {first}));
}

std::string badChoiceMessage(const Texts& texts, const BadChoice& problem,
                             std::string_view settingsPath) {
  switch (problem.kind) {
    case BadChoice::Kind::unknownOption:
      return fill(texts.unknownOption, {problem.option});
    case BadChoice::Kind::badValue:
      return fill(texts.badValue, {problem.option});
    case BadChoice::Kind::badLine:
      return fill(texts.badSetting, {settingsPath, std::to_string(problem.line)});
    case BadChoice::Kind::none:
      break;
  }
  return "";
}
