// Output of the engine programs.
//
// Engine texts are UTF-8 inside (write non-ASCII literals as u8"..."). What a person
// or the program reads is converted at this edge: on Windows to the ANSI code page
// (936 on a Chinese system, which is what the program expects), natively left as UTF-8.
// Machine-readable UTF-8 (ImageX's XML) goes out through WriteRaw unchanged.
#pragma once

#include <string>

namespace engine {

// Puts standard output and error into binary mode on Windows, so that "\r\n"
// written by an engine reaches the pipe unchanged. Call first in main().
void InitEngineIo();

// Writes text (UTF-8) to standard output in the console's code page and flushes.
void PrintText(const std::string& utf8);
// Writes text (UTF-8) to standard error likewise.
void PrintError(const std::string& utf8);
// Writes bytes to standard output unchanged and flushes.
void WriteRaw(const std::string& bytes);

#ifdef _WIN32
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);
std::string AnsiFromUtf8(const std::string& utf8);
#endif

}  // namespace engine
