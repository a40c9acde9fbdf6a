#include "platform/wide_text.h"

namespace platform {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Appends the UTF-8 bytes of one code point (or unpaired surrogate).
void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes the sequence at text[at]; returns its length, or 0 when it is not a
// valid one (a stray continuation byte, a cut or overlong sequence, a value
// past U+10FFFF).
size_t decodeUtf8(std::string_view text, size_t at, char32_t* c) {
  const auto lead = static_cast<unsigned char>(text[at]);
  size_t length = 0;
  char32_t least = 0;  // the smallest value the length may hold
  if (lead < 0x80) {
    *c = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    *c = lead & 0x1Fu;
    least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    *c = lead & 0x0Fu;
    least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    *c = lead & 0x07u;
    least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    *c = (*c << 6) | (next & 0x3Fu);
  }
  return *c >= least && *c <= 0x10FFFF ? length : 0;
}

bool startsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    appendUtf8(out, c);
  }
  return out;
}

std::u16string toUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const size_t length = decodeUtf8(text, i, &c);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    i += length;
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::u16string withinBasicPlane(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      out += u'?';
      ++i;
    } else {
      out += isHighSurrogate(c) || isLowSurrogate(c) ? u'?' : c;
    }
  }
  return out;
}

std::u16string longPathForm(std::u16string_view fullPath) {
  if (startsWith(fullPath, u"\\\\?\\") || startsWith(fullPath, u"\\\\.\\")) {
    return std::u16string(fullPath);
  }
  if (startsWith(fullPath, u"\\\\")) return u"\\\\?\\UNC\\" + std::u16string(fullPath.substr(2));
  return u"\\\\?\\" + std::u16string(fullPath);
}

size_t nameStart(std::u16string_view path) {
  const size_t separator = path.find_last_of(u"\\/");
  if (separator != std::u16string_view::npos) return separator + 1;
  const bool drive = path.size() >= 2 && path[1] == u':' &&
                     ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
  return drive ? 2 : 0;
}

}  // namespace platform
