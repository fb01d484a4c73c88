#include "common/console_out.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#endif

namespace engine {

#ifdef _WIN32
std::wstring WideFromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int len = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(len, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], len);
    return wide;
}

std::string Utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int len = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr,
                                  nullptr);
    std::string utf8(len, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], len, nullptr, nullptr);
    return utf8;
}

std::string AnsiFromUtf8(const std::string& utf8) {
    std::wstring wide = WideFromUtf8(utf8);
    if (wide.empty()) return std::string();
    int len =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(len, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), &ansi[0], len, nullptr, nullptr);
    return ansi;
}
#endif

static void WriteTo(FILE* stream, const std::string& utf8) {
#ifdef _WIN32
    std::string bytes = AnsiFromUtf8(utf8);
#else
    const std::string& bytes = utf8;
#endif
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fflush(stream);
}

void InitEngineIo() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

void PrintText(const std::string& utf8) {
    WriteTo(stdout, utf8);
}
void PrintError(const std::string& utf8) {
    WriteTo(stderr, utf8);
}

void WriteRaw(const std::string& bytes) {
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    fflush(stdout);
}

}  // namespace engine
