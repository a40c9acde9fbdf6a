// UTF-16 text and Windows paths, as pure functions so that every platform tests
// them. Inside the program, paths and names travel as UTF-8; the Windows layer
// turns them into UTF-16 only at the system's door.
#ifndef TARVELIN_PLATFORM_WIDE_TEXT_H_
#define TARVELIN_PLATFORM_WIDE_TEXT_H_

#include <string>
#include <string_view>

namespace platform {

// Returns UTF-16 text as UTF-8. A surrogate pair becomes one four-byte
// character; an unpaired surrogate, which Windows allows in file names, keeps
// its three-byte form, so that toUtf16() gives the same name back.
std::string toUtf8(std::u16string_view text);

// Returns UTF-8 text as UTF-16, the inverse of toUtf8(); a byte that starts no
// valid sequence becomes U+FFFD.
std::u16string toUtf16(std::string_view text);

// Returns `text` with each character beyond the Basic Multilingual Plane, and
// each unpaired surrogate, replaced by one '?': a narrow code page without such
// characters then shows one mark for one character.
std::u16string withinBasicPlane(std::u16string_view text);

// Returns a full path in the \\?\ form, which the system takes at any length:
// "C:\a" becomes "\\?\C:\a" and "\\server\share\a" becomes
// "\\?\UNC\server\share\a". A path already in a \\?\ or \\.\ form is returned
// as it is.
std::u16string longPathForm(std::u16string_view fullPath);

// Returns where the file name starts in a Windows path: after its last '\'
// or '/', or after the drive of "D:part.nc"; 0 for a bare name.
size_t nameStart(std::u16string_view path);

}  // namespace platform

#endif  // TARVELIN_PLATFORM_WIDE_TEXT_H_
