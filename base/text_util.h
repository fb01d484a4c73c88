// Small helpers over GBK byte strings (lengths and positions count bytes).
#pragma once

#include <string>

// ASCII-only case changes: GBK trail bytes never fall into 'A'..'Z' lead positions
// that matter here, and lead bytes are above 0x80, so they pass unchanged.
std::string LowerAscii(std::string text);
std::string UpperAscii(std::string text);
bool EqualsNoCase(const std::string& a, const std::string& b);
// Position of needle in haystack ignoring ASCII case, or npos.
size_t FindNoCase(const std::string& haystack, const std::string& needle, size_t from = 0);
// The first byte of a two-byte GBK character; the byte after it may be 0x5C ('\\')
// and is never a path separator.
inline bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
// Drive letters compare without regard to case.
bool SameDriveLetter(char a, char b);
// Spaces (only ' ') trimmed from both ends.
std::string TrimSpaces(const std::string& text);
// Every space (only ' ') removed: "1 : 2" becomes "1:2".
std::string RemoveSpaces(const std::string& text);
// Position of the last backslash that separates path components, or npos: the second
// byte of a GBK character may be 0x5C and is stepped over.
size_t FindLastBackslash(const std::string& path);
// The part after the last separating backslash (the whole path when there is none).
std::string FileNameOf(const std::string& path);
// Everything from the last '.' of the last path component, like PathFindExtensionA;
// empty when there is none.
std::string PathExtension(const std::string& path);
