#include "engines/bootice/menu_editor.h"

#include "engines/bcdstore/store_file.h"

namespace bootice {

namespace {

constexpr size_t kLargestMenu = 1 << 20;

// Every line end as "\r\n" (a lone "\n" or "\r" too).
std::string WithCrLf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

bool MenuEditor::Load(const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!bcd::ReadStoreFile(path, bytes, error)) return false;
    if (bytes.size() > kLargestMenu) {
        error = path + " is too large for a menu";
        return false;
    }
    std::string text(bytes.begin(), bytes.end());
    if (text.find('\0') != std::string::npos) {
        error = path + " is not a text menu (it holds binary data)";
        return false;
    }
    path_ = path;
    unixLineEnds_ = text.find('\n') != std::string::npos && text.find("\r\n") == std::string::npos;
    text_ = WithCrLf(text);
    changed_ = false;
    return true;
}

void MenuEditor::SetText(const std::string& text) {
    std::string crlf = WithCrLf(text);
    if (crlf != text_) changed_ = true;
    text_ = crlf;
}

bool MenuEditor::Save(std::string& error) {
    std::string out;
    if (unixLineEnds_) {
        for (char c : text_)
            if (c != '\r') out += c;
    } else {
        out = text_;
    }
    if (!bcd::WriteStoreFile(path_, std::vector<uint8_t>(out.begin(), out.end()), error))
        return false;
    changed_ = false;
    return true;
}

std::vector<std::string> MenuEditor::Titles() const {
    std::vector<std::string> titles;
    size_t from = 0;
    while (from < text_.size()) {
        size_t end = text_.find("\r\n", from);
        if (end == std::string::npos) end = text_.size();
        std::string line = text_.substr(from, end - from);
        from = end + 2;
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.size() < start + 6) continue;
        std::string word = line.substr(start, 5);
        for (char& c : word) c = char(c | 0x20);
        char after = line[start + 5];
        if (word != "title" || (after != ' ' && after != '\t')) continue;
        std::string title = line.substr(start + 6);
        size_t first = title.find_first_not_of(" \t");
        size_t last = title.find_last_not_of(" \t");
        titles.push_back(first == std::string::npos ? "" : title.substr(first, last - first + 1));
    }
    return titles;
}

}  // namespace bootice
