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
        "  --language=L 表示を ja (日本語) か en (英語) にします (tarvelin.ini では "
        "language = ja)\n"
        "  --help      この説明を表示します\n"
        "  --version   版を表示します\n"
        "  --          これより後はすべてファイル名です\n"
        "同じ設定は tarvelin.ini にも書けます (words = yes, summary = yes, gap = 0.02, first = "
        "0.05)(^･ω･^)\n",
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
        "  --language=L  messages in ja (Japanese) or en (English)\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "  --          every argument after this one is a file name\n"
        "The same settings go in tarvelin.ini (words = yes, summary = yes, gap = 0.02, "
        "first = 0.05, language = en).\n",
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
