// The program's fixed console texts, in UTF-8; the platform layer prints them
// in the console's encoding.
#ifndef TARVELIN_APP_MESSAGES_H_
#define TARVELIN_APP_MESSAGES_H_

#include <string_view>

#include "rewrite/file_pass.h"

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
inline constexpr std::string_view kAllDone = "全ての処理が終わりました(っ･ω･)っ\n";

// Returns the message that reports a failed file pass.
constexpr std::string_view failureMessage(PassResult result) {
  switch (result) {
    case PassResult::readFailed:
      return kReadFailed;
    case PassResult::writeFailed:
      return kWriteFailed;
    default:
      return kOpenFailed;
  }
}

#endif  // TARVELIN_APP_MESSAGES_H_
