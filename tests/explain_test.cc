// --explain, run as a user would: each reason a plunge is left alone for, on
// a small program, in both languages, and never a byte of the copy changed.
#include "program_runner.h"

namespace {

const std::string kEnglishDone = "All files are done.\n";

// Returns `lines` as a program, each ended by `lineEnd`.
std::string program(std::initializer_list<const char*> lines, const char* lineEnd = "\n") {
  std::string text;
  for (const char* line : lines) text.append(line).append(lineEnd);
  return text;
}

// Plunges left alone for the modes and the place of the tool.
const std::string kModes = program({"G21 G90 G40 G94", "G0 X0 Y0",       "G1 Z-1. F100",
                                    "G0 Z5",           "G0 X10 Y10",     "G0 Z0",
                                    "G1 Z-1.",         "G1 Z-2.",        "G0 Z5",
                                    "G1 Z-3.",         "G0 Z5",          "G0 X20 Y20",
                                    "G93 G1 Z-1. F20", "G94 F100",       "G0 Z5",
                                    "G0 X30 Y30",      "G91 G1 Z-6.",    "G90",
                                    "G0 Z5",           "G0 X40 Y40",     "G41 D1",
                                    "G1 Z-1.",         "G40 G0 X50 Y50", "G0 Z5",
                                    "G0 X60 Y60",      "G55 G1 Z-1.",    "M2"});
// Approaches that go only to the first height, and one that does not go there.
const std::string kFirstHeight = program(
    {"G21 G90 G40 G94", "G0 B30",     "G0 Z5",       "G0 X10 Y10", "G1 Z-1. F100", "G1 X20",
     "G1 X10",          "G0 Z5",      "G0 X10 Y10",  "G1 Z-2.",    "G0 Z5",        "G0 B0",
     "G0 Z5",           "G0 X10 Y10", "G1 Z-1 F100", "G1 X20",     "G1 X10",       "G0 Z5",
     "G0 X10 Y10",      "G1 Z-2.",    "G1 X20",      "G0 Z5",      "G0 X30 Y30",   "G1 Z-3.",
     "G0 Z20",          "G0 X50 Y50", "G1 Z10",      "G1 X60",     "G0 Z20",       "G0 X50 Y50",
     "G1 Z-1.",         "M2"});
// Lines not understood, with plunges left alone after one of them.
const std::initializer_list<const char*> kDoubts = {
    "G21 G90 G40 G94", "M50",        "G0 Z5",   "G0 X10 Y10", "G1 Z-1. F100", "G90",
    "G0 Z5",           "G0 X10 Y10", "G1 Z-1.", "G1 X5 E2",   "G90 G40 G94",  "G0 Z5",
    "G0 X20 Y20",      "G1 Z-1.",    "M2"};
const char* const kDoubtsInEnglish =
    "  2 plunges left alone after M50 on line 2, a code Tarvelin does not know, until G90, G40 "
    "and G94 (or G95) come again (lines 5, 9)\n"
    "  Lines not understood, with no plunge left alone after them: E2 on line 10, a word whose "
    "meaning Tarvelin does not know there; M2 on line 15, a code Tarvelin does not know\n";

struct Case {
  const char* name;
  bool words;
  std::string program;
  std::string english;   // the lines after the name
  std::string japanese;  // empty where only the English is checked
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class Explains : public ProgramTest, public testing::WithParamInterface<Case> {
 protected:
  // Runs the program on part.nc with `options`, and returns what it printed
  // and, through `*copy`, the copy it wrote.
  ProgramRun run(std::vector<std::string> options, std::string* copy) {
    options.push_back(path("part.nc"));
    const ProgramRun result = RunningProgram(options).finish();
    *copy = readFile(path("part" + kDone + ".ncd"));
    std::remove(path("part" + kDone + ".ncd").c_str());
    return result;
  }
};

// After the name, a line for each group of plunges left alone, in the user's
// language; the copy is the same, byte for byte, as without --explain.
TEST_P(Explains, WhatWasLeftAloneAndWhy) {
  const Case& c = GetParam();
  writeFile(path("part.nc"), c.program);
  const std::vector<std::string> mode =
      c.words ? std::vector<std::string>{"--words"} : std::vector<std::string>{};
  std::string plain;
  std::string explained;
  run(mode, &plain);
  std::vector<std::string> options = mode;
  options.insert(options.end(), {"--explain", "--language=en"});
  ProgramRun result = run(options, &explained);
  EXPECT_EQ(result.out, kEnglishBanner + "part\n" + c.english + kEnglishDone);
  EXPECT_EQ(explained, plain);
  if (c.japanese.empty()) return;
  options.back() = "--language=ja";
  result = run(options, &explained);
  EXPECT_EQ(result.out, kBanner + "part\n" + c.japanese + kAllDone);
  EXPECT_EQ(explained, plain);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Explains,
    testing::Values(
        Case{"ModesAndPlace", true, kModes,
             "  1 plunge left alone where the tool's height is not known, as at the start or after "
             "a canned cycle, G28, G53 or a tool change (line 3)\n"
             "  1 plunge left alone where the approach would go up: the tool already stands at or "
             "below its end (line 7)\n"
             "  1 plunge left alone with no retract (a rapid up, or to X0 Y0) since the plunge "
             "before (line 8)\n"
             "  1 plunge left alone with no rapid move in X or Y since the plunge before (line "
             "10)\n"
             "  1 plunge left alone under G93, where F sets how long a move takes (line 13)\n"
             "  1 plunge left alone under G91, where a plunge has no depth of its own (line 17)\n"
             "  1 plunge left alone while radius compensation (G41, G42) is on, or not yet led "
             "off after G40 (line 22)\n"
             "  1 plunge left alone on lines that also change the distance mode, units, an "
             "offset, compensation or the tool: an approach in front would run in the modes "
             "before them (line 26)\n"
             "  Lines not understood, with no plunge left alone after them: M2 on line 27, a code "
             "Tarvelin does not know\n",
             "  工具の高さが分からない所 (始め、固定サイクル、G28、G53、工具交換の後など) "
             "の切り込み 1か所はそのままです (3行目)\n"
             "  早送りが上向きになる切り込み 1か所はそのままです。工具はすでにその高さか、"
             "それより下にあります (7行目)\n"
             "  前の切り込みから退避 (上への早送りか X0 Y0) がない切り込み 1か所はそのままです "
             "(8行目)\n"
             "  前の切り込みから X か Y の早送りがない切り込み 1か所はそのままです (10行目)\n"
             "  F が移動の時間を決める G93 の切り込み 1か所はそのままです (13行目)\n"
             "  切り込みの深さが決まらない G91 の切り込み 1か所はそのままです (17行目)\n"
             "  工具径補正 (G41、G42) が有効か、G40 の後でまだ外れていない間の切り込み "
             "1か所はそのままです (22行目)\n"
             "  距離モード、単位、オフセット、補正か工具も変える行の切り込み "
             "1か所はそのままです。前に入れる早送りは変わる前のモードで動くためです (26行目)\n"
             "  分からない行 (その後にそのままにした切り込みはありません): 27行目の M2 "
             "(Tarvelin の知らないコード)\n"},
        Case{"FirstHeightOnly", true, kFirstHeight,
             "  1 approach went only to the first height: a rotary axis may stand off 0, so the "
             "tool may be tilted (line 10)\n"
             "  1 approach went only to the first height: fed that deep there only to a Z written "
             "without a decimal point, such as Z-1 (line 20)\n"
             "  1 approach went only to the first height: no point fed that deep at that spot "
             "(line 24)\n"
             "  1 plunge left alone without an approach to the first height: line 28 feeds "
             "sideways above it (or at a height not known), so the stock's top may be higher "
             "(line 31)\n"
             "  Lines not understood, with no plunge left alone after them: M2 on line 32, a code "
             "Tarvelin does not know\n",
             "  最初の高さまでにした早送り 1か所: 回転軸が 0 以外にあるかもしれず、"
             "工具が傾いているかもしれません (10行目)\n"
             "  最初の高さまでにした早送り 1か所: その位置のその深さは、小数点のない Z (Z-1 "
             "など) でしか削っていません (20行目)\n"
             "  最初の高さまでにした早送り 1か所: その位置をその深さまで削った点がありません "
             "(24行目)\n"
             "  28行目で最初の高さより上 (か分からない高さ) を横に送っていて、"
             "材料の上面がもっと高いかもしれないので、最初の高さへの早送りを入れなかった切り込み "
             "1か所 (31行目)\n"
             "  分からない行 (その後にそのままにした切り込みはありません): 32行目の M2 "
             "(Tarvelin の知らないコード)\n"},
        Case{"LinesNotUnderstood", true, program(kDoubts), kDoubtsInEnglish,
             "  2行目の M50 (Tarvelin の知らないコード)の後、G90、G40、G94 (か G95) "
             "がまた来るまでの切り込み 2か所はそのままです (5, 9行目)\n"
             "  分からない行 (その後にそのままにした切り込みはありません): 10行目の E2 "
             "(そこでは意味の分からない語)、15行目の M2 (Tarvelin の知らないコード)\n"},
        // Lines count as an editor counts them, whatever ends them, and a line
        // too long to read counts once.
        Case{"LinesEndedByCarriageReturns", true, program(kDoubts, "\r"), kDoubtsInEnglish, ""},
        Case{
            "LinesAfterAnOverLongOne", true,
            "(" + std::string(size_t{3} << 20, 'x') + ")\n" + program(kDoubts),
            "  2 plunges left alone after M50 on line 3, a code Tarvelin does not know, until G90, "
            "G40 and G94 (or G95) come again (lines 6, 10)\n"
            "  Lines not understood, with no plunge left alone after them: line 1, longer than 1 "
            "MiB; E2 on line 11, a word whose meaning Tarvelin does not know there; M2 on line "
            "16, a code Tarvelin does not know\n",
            ""},
        Case{"AProgramThatMayJump", true,
             program({"G21 G90 G40 G94", "G0 Z5", "N10 G0 X10 Y10", "G1 Z-1. F100", "G90 G40 G94",
                      "G0 Z5", "G0 X10 Y10", "G1 Z-1.", "M98 P1000", "M30"}),
             "  1 plunge left alone after line 3 with a block number that M98 on line 9 may lead "
             "to, until G90, G40 and G94 (or G95) come again (line 4)\n"
             "  Lines not understood, with no plunge left alone after them: M98 on line 9, a call "
             "of a subprogram or macro; M30 on line 10, a code Tarvelin does not know\n",
             "  9行目の M98 から来るかもしれないシーケンス番号のある3行目の後、G90、G40、G94 (か "
             "G95) がまた来るまでの切り込み 1か所はそのままです (4行目)\n"
             "  分からない行 (その後にそのままにした切り込みはありません): 9行目の M98 "
             "(サブプログラムかマクロの呼び出し)、10行目の M30 (Tarvelin の知らないコード)\n"},
        Case{"ASubprogram", true,
             program({"O1000", "G0 Z5.", "G0 X10. Y0.", "G1 Z-6. F100.", "M99"}),
             "  1 plunge left alone from the start, until G90, G40 and G94 (or G95) come: the "
             "program returns (M99 on line 5) and runs in the modes of whoever calls it (line 4)\n"
             "  Lines not understood, with no plunge left alone after them: M99 on line 5, the "
             "end of a subprogram\n",
             "  5行目の M99 で戻るプログラムは呼び出し側のモードで動くので、始めから G90、G40、"
             "G94 (か G95) が来るまでの切り込み 1か所はそのままです (4行目)\n"
             "  分からない行 (その後にそのままにした切り込みはありません): 5行目の M99 "
             "(サブプログラムの終わり)\n"},
        Case{"NothingLeftAlone", true, program({"G0 Z5", "G0 X10 Y10", "G1 Z-1. F100"}),
             "  No plunge was left alone\n", "  そのままにした切り込みはありません\n"},
        Case{"NoPlunge", true, program({"G0 Z5", "G81 X10 Y10 Z-1. R1 F100", "G80"}),
             "  No plunge in the lines understood (a G1 line that moves down in Z alone)\n",
             "  分かった行には、切り込み (Z だけを下へ動かす G1 の行) がありませんでした\n"},
        Case{"CompactStyleWithOthers", false,
             program({"G00Z5.", "G00X10.Y10.", "G01Z-1.F100.", "G00Z5.", "G00X20.Y10.",
                      "G1 Z-1.5 F100", "G00Z5.", "G00X30.Y10.", "g01 z-1.5"}),
             "  2 lines look like plunges of another style, such as G1 Z-1.5 (lines 6, 9): "
             "without options only G01Z- is read; --words reads them\n",
             "  G1 Z-1.5 のような別の書き方の切り込みに見える行が 2行あります (6, 9行目)。"
             "オプションなしでは G01Z- だけを読みます。--words なら読めます\n"},
        Case{"CompactStyleOnly", false, program({"G00Z5.", "G00X10.Y10.", "G01Z-1.F100."}),
             "  Nothing to explain: no line looks like a plunge of another style than G01Z-\n",
             "  説明することはありません。G01Z- "
             "のほかの書き方の切り込みに見える行はありません\n"}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// With --stdout the explanation goes to standard error with the other
// messages, and standard output carries the same program as without it;
// "explain = yes" in the settings file asks for it too.
TEST_F(ProgramTest, ExplainsOnStandardErrorWithStdout) {
  writeFile(path("part.nc"), program(kDoubts));
  const std::string config = path("config");
  mkdir(config.c_str(), 0777);
  mkdir((config + "/tarvelin").c_str(), 0777);
  writeFile(config + "/tarvelin/tarvelin.ini", "explain = yes\n");
  const std::vector<std::string> args = {"--stdout", "--words", "--language=en", path("part.nc")};
  const ProgramRun plain = RunningProgram(args).finish();
  const ProgramRun explained =
      RunningProgram(args, false, [&] { setenv("XDG_CONFIG_HOME", config.c_str(), 1); }).finish();
  EXPECT_EQ(explained.status, 0);
  EXPECT_EQ(explained.out, plain.out);
  EXPECT_EQ(explained.err, plain.err.substr(0, plain.err.size() - kEnglishDone.size()) +
                               kDoubtsInEnglish + kEnglishDone);
}

}  // namespace
