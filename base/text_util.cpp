#include "base/text_util.h"

#include <utility>

static char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
static char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

static bool IsLeadByte(char c) {
    return IsGbkLeadByte(static_cast<unsigned char>(c));
}

// Trail bytes of double-byte characters may look like ASCII letters; leave them.
template <typename F>
static std::string MapAscii(std::string text, F change) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(text[i])) {
            ++i;
            continue;
        }
        text[i] = change(text[i]);
    }
    return text;
}

std::string LowerAscii(std::string text) {
    return MapAscii(std::move(text), LowerChar);
}
std::string UpperAscii(std::string text) {
    return MapAscii(std::move(text), UpperChar);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

size_t FindNoCase(const std::string& haystack, const std::string& needle, size_t from) {
    return LowerAscii(haystack).find(LowerAscii(needle), from);
}

bool SameDriveLetter(char a, char b) {
    return UpperChar(a) == UpperChar(b);
}

std::string TrimSpaces(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string PathExtension(const std::string& path) {
    // A backslash or a blank ends any extension seen so far. GBK trail bytes can be
    // 0x5C, so double-byte characters are stepped over whole.
    size_t lastDot = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(path[i])) {
            ++i;
            continue;
        }
        if (path[i] == '\\' || path[i] == ' ') {
            lastDot = std::string::npos;
        } else if (path[i] == '.') {
            lastDot = i;
        }
    }
    return lastDot == std::string::npos ? std::string() : path.substr(lastDot);
}

std::string RemoveSpaces(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

size_t FindLastBackslash(const std::string& path) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(path[i])) {
            ++i;
            continue;
        }
        if (path[i] == '\\') last = i;
    }
    return last;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = FindLastBackslash(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
