// The options, the settings file and --stdout, run as a user would.
#include "app/texts.h"
#include "program_runner.h"

namespace {

// A pocket in two passes, written as most CAM systems write it.
const std::string kSpacedPocket =
    "%\nG21 G90 G40\nG0 Z5\nG0 X10 Y10\nG1 Z-0.5 F100\nG1 X30\nG0 Z5\nG0 X10 Y10\nG1 Z-1\nM30\n%\n";

std::string unknownOption(const std::string& option) {
  return "オプション「" + option + "」はありません。\n";
}
std::string badValue(const std::string& option) {
  return "オプション「" + option + "」の値が正しくありません。\n";
}
std::string badLine(const std::string& path, int line) {
  return "設定ファイル「" + path + "」の" + std::to_string(line) + "行目が正しくありません。\n";
}

// Returns ASCII `text` in UTF-16 with a byte order mark, as Notepad saves
// "Unicode" (little endian) or "Unicode big endian".
std::string unicode(std::string_view text, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : text) bytes.append(bigEndian ? std::string{'\0', c} : std::string{c, '\0'});
  return bytes;
}

class Options : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    writeFile(path("part.nc"), kSpacedPocket);
  }
  // The settings file the program reads, made with `text` unless it is empty.
  std::string settings(const std::string& text = "") {
    const std::string folder = path("config/tarvelin");
    mkdir(path("config").c_str(), 0777);
    mkdir(folder.c_str(), 0777);
    if (!text.empty()) writeFile(folder + "/tarvelin.ini", text);
    return folder + "/tarvelin.ini";
  }
  // Runs the program with `args`, reading the settings file made above.
  ProgramRun run(const std::vector<std::string>& args) {
    const std::string config = path("config");
    return RunningProgram(args, false, [&] { setenv("XDG_CONFIG_HOME", config.c_str(), 1); })
        .finish();
  }
  std::string output() { return readFile(path("part" + kDone + ".ncd")); }
};

struct BadCase {
  const char* name;
  std::vector<std::string> options;
  std::string settingsFile;  // empty for none
  std::string message;       // with SETTINGS standing for the settings file's path
};

class BadChoices : public Options, public testing::WithParamInterface<BadCase> {};

// Every bad option or setting stops the run before any file is touched.
TEST_P(BadChoices, StopTheRunBeforeAnyFile) {
  const BadCase& c = GetParam();
  const std::string ini = settings(c.settingsFile);
  std::vector<std::string> args = c.options;
  args.push_back(path("part.nc"));
  const ProgramRun result = run(args);
  std::string message = c.message;
  if (const size_t at = message.find("SETTINGS"); at != std::string::npos) {
    message.replace(at, 8, ini);
  }
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out, kBanner + message);
  EXPECT_FALSE(exists(path("part" + kDone + ".ncd")));
}

void PrintTo(const BadCase& c, std::ostream* out) { *out << c.name; }

INSTANTIATE_TEST_SUITE_P(
    Values, BadChoices,
    testing::Values(BadCase{"UnknownOption", {"--bogus"}, "", unknownOption("--bogus")},
                    BadCase{"ZeroGap", {"--gap=0"}, "", badValue("--gap=0")},
                    BadCase{"NegativeGap", {"--gap=-0.1"}, "", badValue("--gap=-0.1")},
                    BadCase{"Exponent", {"--gap=1e-2"}, "", badValue("--gap=1e-2")},
                    BadCase{"Infinite", {"--first=inf"}, "", badValue("--first=inf")},
                    BadCase{"NotANumber", {"--first=nan"}, "", badValue("--first=nan")},
                    BadCase{"Hexadecimal", {"--gap=0x1"}, "", badValue("--gap=0x1")},
                    BadCase{"TwoPoints", {"--gap=0.1.2"}, "", badValue("--gap=0.1.2")},
                    BadCase{"Empty", {"--first="}, "", badValue("--first=")},
                    BadCase{"Missing", {"--gap"}, "", badValue("--gap")},
                    BadCase{"Huge", {"--first=10000"}, "", badValue("--first=10000")},
                    BadCase{"NegativeFirst", {"--first=-5"}, "", badValue("--first=-5")},
                    BadCase{"ZeroFirst", {"--first=0"}, "", badValue("--first=0")},
                    BadCase{"NegativeZeroFirst", {"--first=-0"}, "", badValue("--first=-0")},
                    BadCase{"ZeroFirstInTheFile", {}, "first = 0.000\n", badLine("SETTINGS", 1)},
                    BadCase{"NotYesOrNo", {"--words=maybe"}, "", badValue("--words=maybe")},
                    BadCase{"ExplainNotYesOrNo", {}, "explain = maybe\n", badLine("SETTINGS", 1)},
                    BadCase{"ValueForAFlag", {"--stdout=1"}, "", badValue("--stdout=1")},
                    BadCase{"ZeroGapInTheFile", {}, "gap = 0\n", badLine("SETTINGS", 1)},
                    BadCase{"UnknownKey",
                            {},
                            "# a comment\n\nwords = yes\nspeed = 3\n",
                            badLine("SETTINGS", 4)},
                    BadCase{"NoEquals", {}, "words\n", badLine("SETTINGS", 1)},
                    BadCase{"Section", {}, "[tarvelin]\ngap = 0.1\n", badLine("SETTINGS", 1)},
                    BadCase{"DecimalComma", {}, "first = 0,5\r\n", badLine("SETTINGS", 1)},
                    BadCase{"BadLineOfAUnicodeFile",
                            {},
                            unicode("words = yes\r\n\r\nbad\r\n"),
                            badLine("SETTINGS", 3)},
                    BadCase{"UnicodeFileCutInACharacter",
                            {},
                            unicode("words = yes\n") + "w",
                            badLine("SETTINGS", 2)},
                    BadCase{"BadValueEvenWhenTheCommandLineSetsIt",
                            {"--gap=0.1"},
                            "gap = -1\n",
                            badLine("SETTINGS", 1)}),
    [](const testing::TestParamInfo<BadCase>& info) { return info.param.name; });

TEST_F(Options, AFolderInPlaceOfTheSettingsFileStopsTheRun) {
  const std::string ini = settings();
  ASSERT_EQ(mkdir(ini.c_str(), 0777), 0);
  const ProgramRun result = run({path("part.nc")});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out, kBanner + "設定ファイル「" + ini + "」を読み込めませんでした。\n" +
                            cause(ini, kFolder));
}

// A settings file that is there but cannot be read must not pass for none,
// or its settings would be dropped without a word: only a missing file or
// folder means no settings. Run as another user where the test may (as
// root), so that permissions count, and ended after ten seconds in case it
// waits.
TEST_F(Options, ASettingsFileThatIsThereButCannotBeReadStopsTheRun) {
  struct Case {
    const char* name;
    std::function<void(const std::string& ini)> make;
    std::string why;  // empty: no settings file, and no stop
  };
  const Case cases[] = {
      {"folder closed",
       [](const std::string& ini) { chmod(ini.substr(0, ini.rfind('/')).c_str(), 0); },
       kNoPermission},
      {"file closed", [](const std::string& ini) { chmod(ini.c_str(), 0); }, kNoPermission},
      {"a pipe",
       [](const std::string& ini) {
         std::remove(ini.c_str());
         mkfifo(ini.c_str(), 0666);
       },
       kNotAFile},
      {"a file in place of its folder",
       [this](const std::string&) {
         std::system(("rm -rf '" + path("config/tarvelin") + "'").c_str());
         writeFile(path("config/tarvelin"), "words = yes\n");
       },
       ""},
  };
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  const std::string program = programCopyIn(dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ini = settings("words = yes\n");
    c.make(ini);
    const std::string config = path("config");
    const ProgramRun result = RunningProgram(
                                  {path("part.nc")}, false,
                                  [&] {
                                    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
                                    if (root && (setgid(65534) != 0 || setuid(65534) != 0))
                                      _exit(126);
                                    alarm(10);
                                  },
                                  program)
                                  .finish();
    std::system(("chmod -R u+rwx '" + config + "'; rm -rf '" + config + "'").c_str());
    const bool stops = !c.why.empty();
    EXPECT_EQ(result.status, stops ? 255 : 0);
    EXPECT_EQ(result.out, kBanner + (stops ? "設定ファイル「" + ini +
                                                 "」を読み込めませんでした。\n" + cause(ini, c.why)
                                           : "part\n" + kAllDone));
    EXPECT_EQ(exists(path("part" + kDone + ".ncd")), !stops);
    if (!stops) {
      EXPECT_EQ(output().find("(Tarvelin Ver 1.07)\r\n"), 0u);
    }
    std::remove(path("part" + kDone + ".ncd").c_str());
  }
}

struct GoodCase {
  const char* name;
  std::vector<std::string> options;
  std::string settingsFile;
  std::string header;  // the header line, which names the settings in force
  bool words;          // read word by word: the header after '%', and approaches
};

class GoodChoices : public Options, public testing::WithParamInterface<GoodCase> {};

void PrintTo(const GoodCase& c, std::ostream* out) { *out << c.name; }

TEST_P(GoodChoices, AreNamedInTheHeaderAndUsed) {
  const GoodCase& c = GetParam();
  settings(c.settingsFile);
  std::vector<std::string> args = c.options;
  args.push_back(path("part.nc"));
  const ProgramRun result = run(args);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, kBanner + "part\n" + kAllDone);
  const std::string text = output();
  EXPECT_EQ(text.find(c.header + "\r\n"), c.words ? 3u : 0u) << text;
  EXPECT_EQ(text.find("\r\nG00 Z") != std::string::npos, c.words) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, GoodChoices,
    testing::Values(GoodCase{"Defaults", {}, "", "(Tarvelin Ver 1.07)", false},
                    GoodCase{"Words", {"--words"}, "", "(Tarvelin Ver 1.07 words)", true},
                    GoodCase{"Heights",
                             {"--first=0.5", "--gap=0.05"},
                             "",
                             "(Tarvelin Ver 1.07 gap=0.05 first=0.5)",
                             false},
                    GoodCase{"FromTheFile",
                             {},
                             "words = yes\ngap = 0.1\n",
                             "(Tarvelin Ver 1.07 words gap=0.1)",
                             true},
                    GoodCase{"CommandLineWins",
                             {"--words=no", "--gap=0.02"},
                             "words = yes\ngap = 0.1\n",
                             "(Tarvelin Ver 1.07)",
                             false},
                    GoodCase{"UnicodeFile",
                             {},
                             unicode("; Tarvelin\r\nwords = yes\r\ngap = 0.1\r\n"),
                             "(Tarvelin Ver 1.07 words gap=0.1)",
                             true},
                    GoodCase{"BigEndianUnicodeFile",
                             {},
                             unicode("gap = 0.1\n", true),
                             "(Tarvelin Ver 1.07 gap=0.1)",
                             false},
                    GoodCase{"CodePage932File",
                             {},
                             "; \x91\x97\x82\xE8\r\nwords = yes\r\n",
                             "(Tarvelin Ver 1.07 words)",
                             true},
                    GoodCase{"WindowsStyleFile",
                             {},
                             "\xEF\xBB\xBF; comment\r\nWords = Yes\r\n  first=1 \r\n",
                             "(Tarvelin Ver 1.07 words first=1)",
                             true}),
    [](const testing::TestParamInfo<GoodCase>& info) { return info.param.name; });

// With --summary, or summary = yes, a line after each file's name says what
// its rewrite saves, on standard error with --stdout; the rewrite itself,
// header line included, is the same as without. On the bundled example:
// three approaches at F100, from Z5 down to Z0.05, Z-0.48 and Z-0.98.
TEST_F(Options, ASummaryFollowsEachName) {
  const std::string wordsLine =
      "  早送りを 3か所に入れました (最初の高さより下へ 2か所)。空中の切削送り 16.4 mm、約 "
      "10秒の短縮です\n";
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string settingsFile;
    std::string line;  // empty for none
  };
  const Case cases[] = {
      {"compact", {"--summary"}, "", "  早送りを 3か所に入れました\n"},
      {"words", {"--words", "--summary"}, "", wordsLine},
      {"from the file", {"--words"}, "summary = yes\n", wordsLine},
      {"turned off", {"--words", "--summary=no"}, "summary = yes\n", ""},
  };
  writeFile(path("pocket.nc"), readFile(TARVELIN_EXAMPLE));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(settings().c_str());
    const bool words = c.options.front() == "--words";
    ASSERT_EQ(run({words ? "--words" : "--words=no", path("pocket.nc")}).status, 0);
    const std::string plain = readFile(path("pocket" + kDone + ".ncd"));
    settings(c.settingsFile);
    std::vector<std::string> args = c.options;
    args.push_back(path("pocket.nc"));
    const ProgramRun toFile = run(args);
    EXPECT_EQ(toFile.out, kBanner + "pocket\n" + c.line + kAllDone);
    EXPECT_EQ(readFile(path("pocket" + kDone + ".ncd")), plain);
    args.insert(args.begin(), "--stdout");
    const ProgramRun toOutput = run(args);
    EXPECT_EQ(toOutput.status, 0);
    EXPECT_EQ(toOutput.err, kBanner + "pocket\n" + c.line + kAllDone);
    EXPECT_EQ(toOutput.out, plain);
  }
}

// The settings file that the Windows zip carries keeps every default as it
// is shipped, and removing the one ';' of a setting turns that setting on.
TEST_F(Options, TheShippedSettingsFileKeepsTheDefaultsUntilALineIsUncommented) {
  const std::string shipped = readFile(TARVELIN_SHIPPED_SETTINGS);
  ASSERT_NE(shipped.find("\r\n;words = yes\r\n"), std::string::npos);
  ASSERT_EQ(run({"--words", path("part.nc")}).status, 0);
  const std::string wordMode = output();
  ASSERT_EQ(run({path("part.nc")}).status, 0);
  const std::string defaults = output();
  const auto uncommented = [&](std::initializer_list<const char*> keys) {
    std::string text = shipped;
    for (const char* key : keys) {
      const size_t line = text.find(std::string("\n;") + key);
      if (line != std::string::npos) text.erase(line + 1, 1);
    }
    return text;
  };
  struct Case {
    const char* name;
    std::string settingsFile;
    const std::string& expected;
  } const cases[] = {
      {"as shipped", shipped, defaults},
      {"words uncommented", uncommented({"words"}), wordMode},
      {"every setting uncommented",
       uncommented({"words", "gap", "first", "summary", "explain", "language"}), wordMode},
  };
  for (const Case& c : cases) {
    settings(c.settingsFile);
    const ProgramRun result = run({path("part.nc")});
    EXPECT_EQ(result.status, 0) << c.name << ": " << result.out;
    EXPECT_EQ(output(), c.expected) << c.name;
  }
}

TEST_F(Options, AnOptionAfterAFileStillApplies) {
  const ProgramRun result = run({path("part.nc"), "--words"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(output().find("(Tarvelin Ver 1.07 words)"), 3u);
}

TEST_F(Options, ABadOptionWithStdoutIsReportedOnStandardError) {
  const ProgramRun result = run({"--gap=0", "--stdout", path("part.nc")});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, kBanner + badValue("--gap=0"));
}

TEST_F(Options, ASettingsLinkToNothingCannotBeRead) {
  const std::string ini = settings();
  ASSERT_EQ(symlink(path("nowhere").c_str(), ini.c_str()), 0);
  const ProgramRun result = run({path("part.nc")});
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out, kBanner + "設定ファイル「" + ini + "」を読み込めませんでした。\n" +
                            cause(ini, "リンク先がありません"));
}

// The run speaks the user's language (the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty: Japanese where it starts with "ja"), unless
// the settings file, and over it the command line, chooses another. What is
// wrong with the settings file is said in the user's or the command line's.
TEST_F(Options, TheLanguageIsTheUsersTheSettingsFilesOrTheCommandLines) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> environment;  // a null value unsets
    std::string settingsFile;                                      // kFolder: a folder in its place
    std::vector<std::string> arguments;
    std::string out;  // with SETTINGS standing for the settings file's path
  };
  const std::string englishDone = "part\nAll files are done.\n";
  const std::string japaneseDone = "part\n" + kAllDone;
  const Case cases[] = {
      {"LANG", {}, "", {"part.nc"}, kBanner + japaneseDone},
      {"LC_ALL before LANG",
       {{"LC_ALL", "en_US.UTF-8"}},
       "",
       {"part.nc"},
       kEnglishBanner + englishDone},
      {"LC_MESSAGES before LANG",
       {{"LC_MESSAGES", "ja_JP.eucJP"}, {"LANG", "C.UTF-8"}},
       "",
       {"part.nc"},
       kBanner + japaneseDone},
      {"an empty LC_ALL is not set",
       {{"LC_ALL", ""}, {"LC_MESSAGES", "POSIX"}},
       "",
       {"part.nc"},
       kEnglishBanner + englishDone},
      {"none set", {{"LANG", nullptr}}, "", {"part.nc"}, kEnglishBanner + englishDone},
      {"the settings file's", {}, "language = en\n", {"part.nc"}, kEnglishBanner + englishDone},
      {"the command line's",
       {{"LANG", "C"}},
       "language = en\n",
       {"--language=JA", "part.nc"},
       kBanner + japaneseDone},
      {"help in the settings file's",
       {},
       "language = en\n",
       {"--help"},
       std::string(textsIn(platform::Language::english).help)},
      {"usage",
       {{"LANG", "en_GB.UTF-8"}},
       "",
       {},
       kEnglishBanner + std::string(textsIn(platform::Language::english).usage)},
      {"a bad settings file in the user's",
       {},
       "language = en\nbad\n",
       {"part.nc"},
       kBanner + "設定ファイル「SETTINGS」の2行目が正しくありません。\n"},
      {"a bad settings file in the command line's",
       {},
       "first = 0\n",
       {"--language=en", "part.nc"},
       kEnglishBanner + "Line 1 of the settings file \"SETTINGS\" is not valid.\n"},
      {"an unreadable settings file",
       {{"LANG", "en"}},
       kFolder,
       {"part.nc"},
       kEnglishBanner +
           "The settings file \"SETTINGS\" could not be read.\nSETTINGS: Is a folder\n"},
      {"a bad option before the settings file",
       {},
       "language = en\n",
       {"--gap=0", "part.nc"},
       kBanner + "オプション「--gap=0」の値が正しくありません。\n"},
      {"a bad option in English",
       {},
       "",
       {"--language=en", "--bogus", "part.nc"},
       kEnglishBanner + "There is no option \"--bogus\".\n"},
      {"a bad language",
       {{"LANG", "de_DE.UTF-8"}},
       "",
       {"--language=de", "part.nc"},
       kEnglishBanner + "The value of the option \"--language=de\" is not valid.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ini = settings(c.settingsFile == kFolder ? "" : c.settingsFile);
    if (c.settingsFile == kFolder) {
      ASSERT_EQ(mkdir(ini.c_str(), 0777), 0);
    }
    const std::string config = path("config");
    const ProgramRun result = RunningProgram(c.arguments, false, [&] {
                                setenv("XDG_CONFIG_HOME", config.c_str(), 1);
                                for (const auto& [name, value] : c.environment) {
                                  if (value == nullptr) {
                                    unsetenv(name);
                                  } else {
                                    setenv(name, value, 1);
                                  }
                                }
                                if (chdir(dir.c_str()) != 0) _exit(125);
                              }).finish();
    std::string out = c.out;
    for (size_t at = 0; (at = out.find("SETTINGS", at)) != std::string::npos;) {
      out.replace(at, 8, ini);
    }
    EXPECT_EQ(result.out, out);
    std::system(
        ("rm -rf '" + path("config") + "' '" + path("part" + kDone + ".ncd") + "'").c_str());
  }
}

TEST_F(Options, HelpAndVersionPrintOnlyThat) {
  const ProgramRun version = run({"--version", path("part.nc")});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Tarvelin 1.07\n");
  const ProgramRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("使い方: tarvelin [オプション] 変換元ファイル...\n", 0), 0u);
  EXPECT_NE(help.out.find("--stdout"), std::string::npos);
  EXPECT_FALSE(exists(path("part" + kDone + ".ncd")));
}

TEST_F(Options, DoubleDashEndsTheOptions) {
  writeFile(path("--part.nc"), kSpacedPocket);
  const ProgramRun result = run({"--words", "--", path("--part.nc")});
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(exists(path("--part" + kDone + ".ncd")));
}

// --stdout writes exactly the bytes the file would hold and nothing else. In
// the word mode a file is written at once, and again only for a program that
// turns out to jump or return, while --stdout reads the program through
// first: the same bytes, for every sample program too.
TEST_F(Options, StandardOutputHoldsTheRewriteOnly) {
  std::vector<std::string> programs = {kSpacedPocket};
  for (const std::string& name : listDir(TARVELIN_SAMPLES)) {
    programs.push_back(readFile(std::string(TARVELIN_SAMPLES) + "/" + name));
  }
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{}, std::vector<std::string>{"--words"}}) {
    for (const std::string& program : programs) {
      writeFile(path("part.nc"), program);
      std::vector<std::string> args = options;
      args.push_back(path("part.nc"));
      ASSERT_EQ(run(args).status, 0);
      const std::string expected = output();
      std::remove(path("part" + kDone + ".ncd").c_str());
      args.insert(args.begin(), "--stdout");
      const ProgramRun result = run(args);
      EXPECT_EQ(result.status, 0);
      EXPECT_EQ(result.out, expected) << program.substr(0, 200);
      EXPECT_EQ(result.err, kBanner + "part\n" + kAllDone);
      EXPECT_EQ(listDir(dir), (std::vector<std::string>{"part.nc"}));
    }
  }
}

// Where LinuxCNC's AXIS asks for progress, --stdout reports on standard
// error how much of the program it has read: lines "FILTER_PROGRESS=N", N
// from 0 to 100, rising. Standard output and every other message stay as
// they are without it, and so does a run without --stdout.
TEST_F(Options, StandardOutputReportsProgressWhereAxisAsksForIt) {
  std::string program;
  while (program.size() < (size_t{8} << 20)) {
    program += "G0 Z5\nG0 X10 Y10\nG1 Z-0.5 F100\nG1 X30\nG0 Z5\nG0 X10 Y10\nG1 Z-1\n";
  }
  writeFile(path("part.nc"), program);
  const auto axisRun = [&](const std::vector<std::string>& args) {
    return RunningProgram(args, false, [] { setenv("AXIS_PROGRESS_BAR", "1", 1); }).finish();
  };
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"--stdout"}, std::vector<std::string>{"--stdout", "--words"}}) {
    std::vector<std::string> args = options;
    args.push_back(path("part.nc"));
    const ProgramRun plain = run(args);
    const ProgramRun axis = axisRun(args);
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(axis.status, 0);
    EXPECT_TRUE(axis.out == plain.out);  // byte for byte; too long to print
    std::istringstream lines(axis.err);
    std::string others;
    std::vector<int> percents;
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("FILTER_PROGRESS=")) {
        others += line + "\n";
        continue;
      }
      const std::string number = line.substr(sizeof "FILTER_PROGRESS=" - 1);
      ASSERT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
          << line;
      percents.push_back(std::stoi(number));
    }
    EXPECT_EQ(others, plain.err);
    ASSERT_GE(percents.size(), 3u);  // the program is read in many chunks
    EXPECT_LE(percents.size(), 101u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_EQ(std::adjacent_find(percents.begin(), percents.end(), std::greater_equal<>()),
              percents.end());  // rising
  }
  const ProgramRun toFile = axisRun({path("part.nc")});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_EQ(toFile.out, kBanner + "part\n" + kAllDone);
  EXPECT_EQ(toFile.err, "");
}

TEST_F(Options, StandardOutputTakesExactlyOneFile) {
  const std::string oneFile = "--stdout のときは変換元ファイルを一つだけ指定してください(^･ω･^)\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--stdout"},
        std::vector<std::string>{"--stdout", path("part.nc"), path("part.nc")}}) {
    const ProgramRun result = run(args);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, kBanner + oneFile);
  }
  const ProgramRun missing = run({"--stdout", path("none.nc")});
  EXPECT_EQ(missing.status, 255);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, kBanner + kOpenFailed + cause(path("none.nc"), kNoSuchFile));
}

}  // namespace
