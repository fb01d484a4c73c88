// UTF-16LE (the format's text) to and from UTF-8 (the engines' text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wim {

// Appends one code point (at most U+10FFFF) encoded as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);
// Converts little-endian UTF-16 bytes to UTF-8; an unpaired surrogate is kept as
// its own three-byte sequence (as Windows names may hold one), which
// Utf16LeFromUtf8 turns back into the same unit.
std::string Utf8FromUtf16Le(const uint8_t* data, size_t byteCount);
// Converts UTF-8 to little-endian UTF-16 bytes; bad sequences become U+FFFD.
std::string Utf16LeFromUtf8(const std::string& utf8);

}  // namespace wim
