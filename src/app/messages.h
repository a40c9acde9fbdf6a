// The program's fixed console texts, in UTF-8; the platform layer prints them
// in the console's encoding.
#ifndef TARVELIN_APP_MESSAGES_H_
#define TARVELIN_APP_MESSAGES_H_

#include <string>
#include <string_view>

#include "rewrite/settings.h"

inline constexpr std::string_view kBanner =
    "NCコードにG00 Z0.050を埋め込んだりするソフトVer " TARVELIN_VERSION "\n\n";
inline constexpr std::string_view kUsage[] = {
    "TarvelinはGUIに対応していません(^･ω･^)\n",
    "Tarvelin.exeに直接変換元ファイルをドラッグしてください(^･ω･^)\n",
    "Send Toにショートカットを登録しておくと何かと楽ですお(^･ω･^)\n",
};
inline constexpr std::string_view kOpenFailed = "ファイルのオープンに失敗しました。\n";
inline constexpr std::string_view kReadFailed = "ファイルの読み込みに失敗しました。\n";
inline constexpr std::string_view kWriteFailed = "ファイルの書き込みに失敗しました。\n";
inline constexpr std::string_view kInputChanged = "ファイルが読み込み中に変更されました。\n";
inline constexpr std::string_view kTextAfterEnd = "ファイルの途中に終端文字(0x1A)があります。\n";
inline constexpr std::string_view kAllDone = "全ての処理が終わりました(っ･ω･)っ\n";

inline constexpr std::string_view kStdoutNeedsOneFile =
    "--stdout のときは変換元ファイルを一つだけ指定してください(^･ω･^)\n";
inline constexpr std::string_view kVersionText = "Tarvelin " TARVELIN_VERSION "\n";
inline constexpr std::string_view kHelp =
    "使い方: tarvelin [オプション] 変換元ファイル...\n"
    "  --words     G1 Z-1.5 F300 のような書き方も、語ごとに読んで変換します\n"
    "  --gap=D     深くなるパスの前の早送りを、前のパスの D 上までにします (既定 0.02)\n"
    "  --first=H   最初のパスの前の早送りを H までにします (既定 0.05)\n"
    "  --stdout    ファイルを一つだけ変換して、標準出力に書きます\n"
    "  --summary   ファイルごとに、入れた早送りの数と短くなる時間を表示します\n"
    "  --help      この説明を表示します\n"
    "  --version   版を表示します\n"
    "  --          これより後はすべてファイル名です\n"
    "同じ設定は tarvelin.ini にも書けます (words = yes, summary = yes, gap = 0.02, first = 0.05)"
    "(^･ω･^)\n";

// Returns the message for an option the program does not have.
inline std::string unknownOptionMessage(std::string_view option) {
  return "オプション「" + std::string(option) + "」はありません。\n";
}
// Returns the message for an option whose value cannot be used.
inline std::string badValueMessage(std::string_view option) {
  return "オプション「" + std::string(option) + "」の値が正しくありません。\n";
}
// Returns the message for a settings file that cannot be read.
inline std::string unreadableSettingsMessage(std::string_view path) {
  return "設定ファイル「" + std::string(path) + "」を読み込めませんでした。\n";
}
// Returns the message for a line of the settings file that cannot be used.
inline std::string badSettingMessage(std::string_view path, int line) {
  return "設定ファイル「" + std::string(path) + "」の" + std::to_string(line) +
         "行目が正しくありません。\n";
}

// Returns the message that reports a failed file pass.
constexpr std::string_view failureMessage(PassResult result) {
  switch (result) {
    case PassResult::readFailed:
      return kReadFailed;
    case PassResult::writeFailed:
      return kWriteFailed;
    case PassResult::inputChanged:
      return kInputChanged;
    case PassResult::textAfterEnd:
      return kTextAfterEnd;
    default:
      return kOpenFailed;
  }
}

#endif  // TARVELIN_APP_MESSAGES_H_
