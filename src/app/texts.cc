#include "app/texts.h"

#include "rewrite/settings.h"

namespace {

// Numbers against the words around them: a space between Japanese words and a
// number or a word in Latin letters, none between a number and the Japanese
// unit that counts it ("3か所", "10秒", "16.4 mm").
constexpr Texts kJapanese{
    .language = platform::Language::japanese,
    .banner = "NCコードにG00 Z0.050を埋め込んだりするソフトVer " TARVELIN_VERSION "\n\n",
    .usage =
        "TarvelinはGUIに対応していません(^･ω･^)\n"
        "Tarvelin.exeに直接変換元ファイルをドラッグしてください(^･ω･^)\n"
        "Send Toにショートカットを登録しておくと何かと楽ですお(^･ω･^)\n",
    .allDone = "全ての処理が終わりました(っ･ω･)っ\n",
    .keyPrompt = "続行するには何かキーを押してください . . .",
    .help =
        "使い方: tarvelin [オプション] 変換元ファイル...\n"
        "  --words     G1 Z-1.5 F300 のような書き方も、語ごとに読んで変換します\n"
        "  --gap=D     深くなるパスの前の早送りを、前のパスの D 上までにします (既定 0.02)\n"
        "  --first=H   最初のパスの前の早送りを H までにします (既定 0.05)\n"
        "  --stdout    ファイルを一つだけ変換して、標準出力に書きます\n"
        "  --summary   ファイルごとに、入れた早送りの数と短くなる時間を表示します\n"
        "  --explain   ファイルごとに、早送りを入れなかった切り込みとその理由を表示します\n"
        "  --language=L 表示を ja (日本語) か en (英語) にします (tarvelin.ini では "
        "language = ja)\n"
        "  --help      この説明を表示します\n"
        "  --version   版を表示します\n"
        "  --          これより後はすべてファイル名です\n"
        "同じ設定は tarvelin.ini にも書けます (words = yes, summary = yes, explain = yes, gap = "
        "0.02, first = 0.05)(^･ω･^)\n",
    .version = "Tarvelin " TARVELIN_VERSION "\n",
    .stdoutNeedsOneFile = "--stdout のときは変換元ファイルを一つだけ指定してください(^･ω･^)\n",
    .unknownOption = "オプション「%1」はありません。\n",
    .badValue = "オプション「%1」の値が正しくありません。\n",
    .unreadableSettings = "設定ファイル「%1」を読み込めませんでした。\n",
    .badSetting = "設定ファイル「%1」の%2行目が正しくありません。\n",
    .openFailed = "ファイルのオープンに失敗しました。\n",
    .readFailed = "ファイルの読み込みに失敗しました。\n",
    .writeFailed = "ファイルの書き込みに失敗しました。\n",
    .inputChanged = "ファイルが読み込み中に変更されました。\n",
    .textAfterEnd = "ファイルの途中に終端文字(0x1A)があります。\n",
    .unicodeText = "ファイルの文字コードに対応していません。\n",
    .causeLine = "%1: %2\n",
    .standardOutput = "標準出力",
    .noSuchFile = "そのようなファイルやフォルダーはありません",
    .noPermission = "アクセスが許可されていません",
    .folder = "フォルダーです",
    .notAFile = "通常のファイルではありません",
    .brokenLink = "リンク先がありません",
    .badName = "ファイル名として使えない名前です",
    .noSpace = "ディスクに空きがありません",
    .readOnlyDisk = "読み取り専用のファイルシステムです",
    .inUse = "ほかのプログラムが使用中です",
    .readOnlyFile = "読み取り専用のファイルなので、置き換えません",
    .hiddenFile = "隠しファイルかシステムファイルなので、置き換えません",
    .strangersLink = "共有フォルダーにあるほかのユーザーのリンクなので、たどりません",
    .tooLarge = "設定ファイルとしては大きすぎます (1 MiB まで)",
    .systemError = "エラー %1",
    .outputIsInput = "変換元ファイルそのものにつながっているので、置き換えません",
    .standardOutputIsInput = "標準出力がこのファイルにつながっています",
    .changedWhileRead = "読み込み中に書き込まれていました。書き終わってからやり直してください",
    .heldForWriting = "ほかのプログラムが書き込み用に開いています。閉じてやり直してください",
    .savedAsUnicode = "Unicode で保存されています。ANSI か UTF-8 で保存し直してください",
    .shortcut = "Windows のショートカットです。指している先のファイルを指定してください",
    .shortcutToFolder = "フォルダーへのショートカットです",
    .shortcutToNothing = "ショートカットの指している先にファイルがありません",
    .shortcutToShortcut = "ショートカットへのショートカットなので、たどりません",
    .textAfterEndOnLine = "%1行目の終端文字 (0x1A, Ctrl-Z) の後にもプログラムが続いています",
    .textAfterEndSomewhere = "終端文字 (0x1A, Ctrl-Z) の後にもプログラムが続いています",
    .sameOutput = "二つのファイルの変換先が同じなので、どのファイルも変換しませんでした。\n",
    .outputIsAnotherInput =
        "変換先がほかの変換元ファイルなので、どのファイルも変換しませんでした。\n",
    .copyOfBoth = "「%1」と「%2」の両方の変換先です",
    .alsoCopyOf = "「%1」の変換先でもあります",
    .noApproach = "  早送りを入れる所はありませんでした\n",
    .oneApproach = "  早送りを %1か所に入れました",
    .approaches = "  早送りを %1か所に入れました",
    .belowFirst = " (最初の高さより下へ %1か所)",
    .saving = "%1。空中の切削送り %2、%3の短縮です\n",
    .savingTimeUnknown = "%1。空中の切削送り %2 の短縮です (送り時間は分かりません)\n",
    .millimetres = "%1 mm",
    .inches = "%1インチ",
    .programUnits = "%1 (プログラムの単位)",
    .about = "約 %1",
    .atLeast = "%1以上",
    .underASecond = "1秒未満",
    .seconds = "%1秒",
    .minutesSeconds = "%1分%2秒",
    .hoursMinutes = "%1時間%2分",
    .nothingLeftAlone = "  そのままにした切り込みはありません\n",
    .noPlunge = "  分かった行には、切り込み (Z だけを下へ動かす G1 の行) がありませんでした\n",
    .onePlungeLeft = "1か所",
    .plungesLeft = "%1か所",
    .oneFirstOnly = "1か所",
    .firstOnly = "%1か所",
    .oneLine = "%1行目",
    .someLines = "%1行目",
    .moreLines = "%1行目など",
    .lineSeparator = ", ",
    .afterDoubt =
        "  %3の後、G90、G40、G94 (か G95) がまた来るまでの切り込み %1はそのままです (%2)\n",
    .fromStart =
        "  %4行目の %3 で戻るプログラムは呼び出し側のモードで動くので、始めから G90、G40、G94 "
        "(か G95) が来るまでの切り込み %1はそのままです (%2)\n",
    .fromStartUnread =
        "  先に全体を読めなかったプログラムはほかで決めたモードで動くかもしれないので、始めから "
        "G90、G40、G94 (か G95) が来るまでの切り込み %1はそのままです (%2)\n",
    .notUnderstood = "  分からない行 (その後にそのままにした切り込みはありません): %1\n",
    .doubtSeparator = "、",
    .doubtMore = "、…",
    .doubtUnknownCode = "%2の %1 (Tarvelin の知らないコード)",
    .doubtLetterOutOfContext = "%2の %1 (そこでは意味の分からない語)",
    .doubtRepeatedWord = "%2の %1 (一行に二度ある語)",
    .doubtTwoMotions = "%2の %1 (一行で二つ目の移動の語)",
    .doubtNoNumber = "%2の %1 (数のない文字)",
    .doubtExponent = "%2の %1 (指数の付いた数)",
    .doubtNumberTooLong = "%2の %1 (桁が多すぎる数)",
    .doubtPlaceTooFar = "%2の %1 (0 から 10億単位以上離れた位置)",
    .doubtStrayCharacter = "%2の %1 (語の一部でない文字)",
    .doubtParameter = "%2の %1 (変数)",
    .doubtExpression = "%2の %1 (式)",
    .doubtKeyword = "%2の %1 (マクロ言語の語)",
    .doubtProgramNumber = "%2の %1 (プログラムの途中のプログラム番号)",
    .doubtJump = "%2の %1 (ジャンプ)",
    .doubtCall = "%2の %1 (サブプログラムかマクロの呼び出し)",
    .doubtReturns = "%2の %1 (サブプログラムの終わり)",
    .doubtLineTooLong = "1 MiB より長い%2",
    .doubtReachedByJump = "%4行目の %3 から来るかもしれないシーケンス番号のある%2",
    .doubtReachedByJumpUnread = "ジャンプで来るかもしれないシーケンス番号のある%2",
    .doubtOthers = "ほかの分からない行 (%2)",
    .wordsLike = "%1 ほか",
    .leftNoClearance =
        "  前の切り込みから退避 (上への早送りか X0 Y0) がない切り込み %1はそのままです (%2)\n",
    .leftNoRapidXY = "  前の切り込みから X か Y の早送りがない切り込み %1はそのままです (%2)\n",
    .leftNotAbovePlunge =
        "  早送りが切り込みの深さより上で止まらない切り込み %1はそのままです (%2)\n",
    .leftIncremental = "  切り込みの深さが決まらない G91 の切り込み %1はそのままです (%2)\n",
    .leftInverseTime = "  F が移動の時間を決める G93 の切り込み %1はそのままです (%2)\n",
    .leftCompensation =
        "  工具径補正 (G41、G42) が有効か、G40 の後でまだ外れていない間の切り込み "
        "%1はそのままです (%2)\n",
    .leftLineChangesModes =
        "  距離モード、単位、オフセット、補正か工具も変える行の切り込み %1はそのままです。"
        "前に入れる早送りは変わる前のモードで動くためです (%2)\n",
    .leftHeightUnknown =
        "  工具の高さが分からない所 (始め、固定サイクル、G28、G53、工具交換の後など) の切り込み "
        "%1はそのままです (%2)\n",
    .leftNotGoingDown =
        "  早送りが上向きになる切り込み %1はそのままです。工具はすでにその高さか、それより下に"
        "あります (%2)\n",
    .leftStockTopAbove =
        "  %3行目で最初の高さより上 (か分からない高さ) を横に送っていて、材料の上面がもっと高い"
        "かもしれないので、最初の高さへの早送りを入れなかった切り込み %1 (%2)\n",
    .leftNotFedThere =
        "  最初の高さまでにした早送り %1: その位置をその深さまで削った点がありません (%2)\n",
    .leftWithoutPoint =
        "  最初の高さまでにした早送り %1: その位置のその深さは、小数点のない Z (Z-1 など) でしか"
        "削っていません (%2)\n",
    .leftTiltedTool =
        "  最初の高さまでにした早送り %1: 回転軸が 0 以外にあるかもしれず、工具が傾いているかも"
        "しれません (%2)\n",
    .oneOtherStyle =
        "  別の書き方の切り込みに見える行が %1行あります (%2の %3)。オプションなしでは G01Z- "
        "だけを読みます。--words なら読めます\n",
    .otherStyle =
        "  %3 のような別の書き方の切り込みに見える行が %1行あります (%2)。オプションなしでは "
        "G01Z- だけを読みます。--words なら読めます\n",
    .noOtherStyle =
        "  説明することはありません。G01Z- のほかの書き方の切り込みに見える行はありません\n",
};

// A space between a number and its unit ("3 s", "16.4 mm").
constexpr Texts kEnglish{
    .language = platform::Language::english,
    .banner = "Tarvelin Ver " TARVELIN_VERSION ": embeds G00 Z0.050 and the like in NC code\n\n",
    .usage =
        "Tarvelin has no window of its own.\n"
        "Drop the files to convert onto Tarvelin.exe, or name them after it.\n"
        "A shortcut in the Send To menu makes it easier.\n",
    .allDone = "All files are done.\n",
    .keyPrompt = "Press any key to continue . . .",
    .help =
        "Usage: tarvelin [options] file...\n"
        "  --words     read the moves word by word, in any style such as G1 Z-1.5 F300\n"
        "  --gap=D     end the rapid before a deeper pass D above the previous pass "
        "(default 0.02)\n"
        "  --first=H   end the rapid before the first pass at H (default 0.05)\n"
        "  --stdout    convert exactly one file, to standard output\n"
        "  --summary   after each file, show how many rapids went in and the time saved\n"
        "  --explain   after each file, show which plunges got no rapid, and why\n"
        "  --language=L  messages in ja (Japanese) or en (English)\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "  --          every argument after this one is a file name\n"
        "The same settings go in tarvelin.ini (words = yes, summary = yes, explain = yes, "
        "gap = 0.02, first = 0.05, language = en).\n",
    .version = "Tarvelin " TARVELIN_VERSION "\n",
    .stdoutNeedsOneFile = "With --stdout, name exactly one file to convert.\n",
    .unknownOption = "There is no option \"%1\".\n",
    .badValue = "The value of the option \"%1\" is not valid.\n",
    .unreadableSettings = "The settings file \"%1\" could not be read.\n",
    .badSetting = "Line %2 of the settings file \"%1\" is not valid.\n",
    .openFailed = "A file could not be opened.\n",
    .readFailed = "A file could not be read.\n",
    .writeFailed = "A file could not be written.\n",
    .inputChanged = "A file was changed while it was read.\n",
    .textAfterEnd = "There is an end-of-file character (0x1A) in the middle of a file.\n",
    .unicodeText = "A file is in a text encoding that Tarvelin does not read.\n",
    .causeLine = "%1: %2\n",
    .standardOutput = "standard output",
    .noSuchFile = "No such file or folder",
    .noPermission = "Permission denied",
    .folder = "Is a folder",
    .notAFile = "Not a regular file",
    .brokenLink = "A link to nothing",
    .badName = "Not a name a file can have",
    .noSpace = "No space left on the disk",
    .readOnlyDisk = "Read-only file system",
    .inUse = "In use by another program",
    .readOnlyFile = "A read-only file; not replaced",
    .hiddenFile = "A hidden or system file; not replaced",
    .strangersLink = "Another user's link in a shared folder; not followed",
    .tooLarge = "Too large for a settings file (1 MiB at most)",
    .systemError = "Error %1",
    .outputIsInput = "Leads to the input file itself; not replaced",
    .standardOutputIsInput = "Standard output goes into this file",
    .changedWhileRead = "Being written while it was read; run again once it is complete",
    .heldForWriting = "Held open for writing by another program; close it there and run again",
    .savedAsUnicode = "Saved as Unicode text; save it as ANSI or UTF-8",
    .shortcut = "A Windows shortcut, not a program; give the file it points to",
    .shortcutToFolder = "A shortcut to a folder",
    .shortcutToNothing = "A shortcut to a file that is not there",
    .shortcutToShortcut = "A shortcut to another shortcut; not followed",
    .textAfterEndOnLine = "More of the program follows the 0x1A (Ctrl-Z) on line %1",
    .textAfterEndSomewhere = "More of the program follows a 0x1A (Ctrl-Z)",
    .sameOutput = "Two files would be converted to one name, so no file was converted.\n",
    .outputIsAnotherInput = "A copy would replace another file given, so no file was converted.\n",
    .copyOfBoth = "The copy of both \"%1\" and \"%2\"",
    .alsoCopyOf = "Also the copy of \"%1\"",
    .noApproach = "  No approach went in\n",
    .oneApproach = "  %1 approach went in",
    .approaches = "  %1 approaches went in",
    .belowFirst = " (%1 below the first height)",
    .saving = "%1: %2 of feed through air made rapid, %3 saved\n",
    .savingTimeUnknown = "%1: %2 of feed through air made rapid (its feed time is not known)\n",
    .millimetres = "%1 mm",
    .inches = "%1 in",
    .programUnits = "%1 (program units)",
    .about = "about %1",
    .atLeast = "at least %1",
    .underASecond = "under 1 s",
    .seconds = "%1 s",
    .minutesSeconds = "%1 min %2 s",
    .hoursMinutes = "%1 h %2 min",
    .nothingLeftAlone = "  No plunge was left alone\n",
    .noPlunge = "  No plunge in the lines understood (a G1 line that moves down in Z alone)\n",
    .onePlungeLeft = "1 plunge left alone",
    .plungesLeft = "%1 plunges left alone",
    .oneFirstOnly = "1 approach went only to the first height",
    .firstOnly = "%1 approaches went only to the first height",
    .oneLine = "line %1",
    .someLines = "lines %1",
    .moreLines = "lines %1, …",
    .lineSeparator = ", ",
    .afterDoubt = "  %1 after %3, until G90, G40 and G94 (or G95) come again (%2)\n",
    .fromStart =
        "  %1 from the start, until G90, G40 and G94 (or G95) come: the program returns (%3 on "
        "line %4) and runs in the modes of whoever calls it (%2)\n",
    .fromStartUnread =
        "  %1 from the start, until G90, G40 and G94 (or G95) come: the program could not be read "
        "through first, and may run in modes set elsewhere (%2)\n",
    .notUnderstood = "  Lines not understood, with no plunge left alone after them: %1\n",
    .doubtSeparator = "; ",
    .doubtMore = "; …",
    .doubtUnknownCode = "%1 on %2, a code Tarvelin does not know",
    .doubtLetterOutOfContext = "%1 on %2, a word whose meaning Tarvelin does not know there",
    .doubtRepeatedWord = "%1 on %2, a word given twice in one line",
    .doubtTwoMotions = "%1 on %2, a second motion word in one line",
    .doubtNoNumber = "%1 on %2, a letter without a number",
    .doubtExponent = "%1 on %2, a number with an exponent",
    .doubtNumberTooLong = "%1 on %2, a number with too many digits",
    .doubtPlaceTooFar = "%1 on %2, a place a billion units or more from zero",
    .doubtStrayCharacter = "%1 on %2, a character that is no part of a word",
    .doubtParameter = "%1 on %2, a parameter",
    .doubtExpression = "%1 on %2, an expression",
    .doubtKeyword = "%1 on %2, a word of a macro language",
    .doubtProgramNumber = "%1 on %2, a program number after the program's start",
    .doubtJump = "%1 on %2, a jump",
    .doubtCall = "%1 on %2, a call of a subprogram or macro",
    .doubtReturns = "%1 on %2, the end of a subprogram",
    .doubtLineTooLong = "%2, longer than 1 MiB",
    .doubtReachedByJump = "%2 with a block number that %3 on line %4 may lead to",
    .doubtReachedByJumpUnread = "%2 with a block number that a jump may lead to",
    .doubtOthers = "other lines not understood (%2)",
    .wordsLike = "%1 and the like",
    .leftNoClearance =
        "  %1 with no retract (a rapid up, or to X0 Y0) since the plunge before (%2)\n",
    .leftNoRapidXY = "  %1 with no rapid move in X or Y since the plunge before (%2)\n",
    .leftNotAbovePlunge = "  %1 where the approach would not end above the plunge's depth (%2)\n",
    .leftIncremental = "  %1 under G91, where a plunge has no depth of its own (%2)\n",
    .leftInverseTime = "  %1 under G93, where F sets how long a move takes (%2)\n",
    .leftCompensation =
        "  %1 while radius compensation (G41, G42) is on, or not yet led off after G40 (%2)\n",
    .leftLineChangesModes =
        "  %1 on lines that also change the distance mode, units, an offset, compensation or the "
        "tool: an approach in front would run in the modes before them (%2)\n",
    .leftHeightUnknown =
        "  %1 where the tool's height is not known, as at the start or after a canned cycle, G28, "
        "G53 or a tool change (%2)\n",
    .leftNotGoingDown =
        "  %1 where the approach would go up: the tool already stands at or below its end (%2)\n",
    .leftStockTopAbove =
        "  %1 without an approach to the first height: line %3 feeds sideways above it (or at a "
        "height not known), so the stock's top may be higher (%2)\n",
    .leftNotFedThere = "  %1: no point fed that deep at that spot (%2)\n",
    .leftWithoutPoint =
        "  %1: fed that deep there only to a Z written without a decimal point, such as Z-1 "
        "(%2)\n",
    .leftTiltedTool = "  %1: a rotary axis may stand off 0, so the tool may be tilted (%2)\n",
    .oneOtherStyle =
        "  %1 line looks like a plunge of another style, %3 on %2: without options only G01Z- "
        "is read; --words reads it\n",
    .otherStyle =
        "  %1 lines look like plunges of another style, such as %3 (%2): without options only "
        "G01Z- is read; --words reads them\n",
    .noOtherStyle =
        "  Nothing to explain: no line looks like a plunge of another style than G01Z-\n",
};

}  // namespace

const Texts& textsIn(platform::Language language) {
  return language == platform::Language::japanese ? kJapanese : kEnglish;
}

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string text;
  for (size_t at = 0; at < pattern.size(); ++at) {
    const size_t place = at + 1 < pattern.size() ? static_cast<size_t>(pattern[at + 1] - '1') : 9;
    if (pattern[at] == '%' && place < values.size()) {
      text += values.begin()[place];
      ++at;
    } else {
      text += pattern[at];
    }
  }
  return text;
}
