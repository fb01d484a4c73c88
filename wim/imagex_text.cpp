#include "wim/imagex_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/text_util.h"

std::string ExtractBetween(const std::string& line, const std::string& open,
                           const std::string& close) {
    const size_t start = FindNoCase(line, open);
    if (start == std::string::npos) return std::string();
    const size_t from = start + open.size();
    const size_t end = FindNoCase(line, close, from);
    if (end == std::string::npos) return std::string();
    return line.substr(from, end - from);
}

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find("\r\n", from);
        if (at == std::string::npos) {
            lines.push_back(text.substr(from));
            return lines;
        }
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
}

}  // namespace

std::string LastCompleteLine(const std::string& text) {
    size_t feeds = 0;
    for (char c : text)
        if (c == '\n') ++feeds;
    // Line n - 1 (1-based) with n = feeds + 1: index feeds - 1.
    if (feeds == 0) return std::string();
    const std::vector<std::string> lines = SplitLines(text);
    return feeds - 1 < lines.size() ? lines[feeds - 1] : std::string();
}

ImagexProgress ParseProgressText(const std::string& output, const std::string& percentClose,
                                 bool stripBlanks) {
    const std::string line = LastCompleteLine(output);
    ImagexProgress progress;
    progress.percent = ExtractBetween(line, "[ ", percentClose);
    if (stripBlanks) progress.percent = RemoveSpaces(progress.percent);
    progress.remaining = ExtractBetween(line, "progress:", "remaining");
    return progress;
}

int PercentNumber(const std::string& percent) {
    return static_cast<int>(std::strtol(percent.c_str(), nullptr, 10));
}

std::string ElapsedText(long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return std::string("已用时间：") + text;
}

std::string GeneralNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.13g", value);
    return text;
}

std::string GigabytesText(double bytes) {
    return GeneralNumber(std::round(bytes / 1073741824.0 * 100.0) / 100.0);
}

namespace {

// One image's values, as its <IMAGE> block gives them.
struct ImageValues {
    std::string name, size, displayName, flags;
};

}  // namespace

std::vector<std::string> VolumeEntries(const std::string& info) {
    std::vector<ImageValues> images;
    // Values seen before any <IMAGE> tag (an output without blocks) each open an image of
    // their own, in order, as a plain list would pair them.
    size_t looseName = 0, looseSize = 0, looseDisplay = 0, looseFlags = 0;
    bool inImage = false;
    auto slot = [&](size_t& loose) -> ImageValues& {
        if (inImage) return images.back();
        if (loose >= images.size()) images.resize(loose + 1);
        return images[loose++];
    };
    for (const std::string& line : SplitLines(info)) {
        if (FindNoCase(line, "<IMAGE ") != std::string::npos ||
            FindNoCase(line, "<IMAGE>") != std::string::npos) {
            images.emplace_back();
            inImage = true;
        }
        const std::string name = ExtractBetween(line, "<NAME>", "</NAME>");
        if (!name.empty()) slot(looseName).name = name;
        const std::string bytes = ExtractBetween(line, "    <TOTALBYTES>", "</TOTALBYTES>");
        if (!bytes.empty())
            slot(looseSize).size = GigabytesText(std::strtod(bytes.c_str(), nullptr));
        const std::string display = ExtractBetween(line, "<DISPLAYNAME>", "</DISPLAYNAME>");
        if (!display.empty()) slot(looseDisplay).displayName = display;
        const std::string flags = ExtractBetween(line, "<FLAGS>", "</FLAGS>");
        if (!flags.empty()) slot(looseFlags).flags = flags;
        if (FindNoCase(line, "</IMAGE>") != std::string::npos) inImage = false;
    }

    bool anyName = false, anyDisplay = false;
    for (const ImageValues& image : images) {
        anyName = anyName || !image.name.empty();
        anyDisplay = anyDisplay || !image.displayName.empty();
    }
    std::vector<std::string> entries;
    if (anyName) {
        for (size_t k = 0; k < images.size(); ++k) {
            const ImageValues& image = images[k];
            const std::string number = std::to_string(k + 1) + ": ";
            if (!anyDisplay)
                entries.push_back(number + image.name + " |大小:" + image.size + " GB");
            else
                entries.push_back(number + image.name + "( 大小:" + image.size + " GB|" +
                                  image.displayName + ")");
        }
        return entries;
    }
    bool anyFlags = false;
    for (const ImageValues& image : images) anyFlags = anyFlags || !image.flags.empty();
    if (!anyFlags) return entries;
    for (size_t k = 0; k < images.size(); ++k)
        entries.push_back(std::to_string(k + 1) + ": " + images[k].flags +
                          " |大小:" + images[k].size + " GB");
    return entries;
}

bool OutputReportsSuccess(const std::string& output, const std::string& successText) {
    for (const std::string& line : SplitLines(output))
        if (line.compare(0, successText.size(), successText) == 0) return true;
    return false;
}

std::string ImagexInfoLine(const std::string& imagex, const std::string& integrityFlag,
                           const std::string& image) {
    return imagex + " /info " + (integrityFlag.empty() ? "" : integrityFlag + " ") + "\"" + image +
           "\"";
}

std::string ImagexApplyLine(const std::string& imagex, const std::string& image, int volume,
                            const std::string& targetRoot) {
    return imagex + " /apply \"" + image + "\" " + std::to_string(volume) + " " + targetRoot;
}

std::string ImagexCaptureLine(const CaptureLine& c) {
    return c.imagex + " /capture " + c.sourceRoot + " \"" + c.savePath + "\" \"" + c.name +
           "\"  \"本映像卷由岚舟软件星桥装机台生成\" /flags \"" + c.flag + "\"" + c.compression +
           " /temp " + ScratchFolderOf(c.savePath);
}

std::string SaveRootOf(const std::string& savePath) {
    return savePath.substr(0, 3);
}

std::string ScratchFolderOf(const std::string& savePath) {
    return SaveRootOf(savePath) + "ImagexTemp";
}

namespace {

// What in a text would break its quoting in a console line.
enum class QuotingFault { None, Quote, Percent, Control, TrailingBackslash };

QuotingFault QuotingFaultOf(const std::string& text) {
    bool lastIsBackslash = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsGbkLeadByte(c) && i + 1 < text.size()) {
            ++i;  // a trail byte of 0x5C is part of its character, not a backslash
            lastIsBackslash = false;
            continue;
        }
        if (c == '"') return QuotingFault::Quote;
        if (c == '%') return QuotingFault::Percent;
        if (c < 0x20 || c == 0x7F) return QuotingFault::Control;
        lastIsBackslash = c == '\\';
    }
    return lastIsBackslash ? QuotingFault::TrailingBackslash : QuotingFault::None;
}

}  // namespace

std::string CaptureNameProblem(const std::string& name) {
    switch (QuotingFaultOf(name)) {
        case QuotingFault::None:
            return std::string();
        case QuotingFault::TrailingBackslash:
            return "映像名称不能以“\\”结尾，请重新输入映像名称！";
        default:
            return "映像名称不能包含双引号、百分号或控制字符，请重新输入映像名称！";
    }
}

std::string CaptureSavePathProblem(const std::string& savePath) {
    const char letter = savePath.empty() ? 0 : UpperAscii(savePath.substr(0, 1))[0];
    const bool full = savePath.size() > 3 && letter >= 'A' && letter <= 'Z' && savePath[1] == ':' &&
                      savePath[2] == '\\' && savePath[3] != '\\';
    if (!full || QuotingFaultOf(savePath) != QuotingFault::None)
        return "保存路径 " + savePath + " 不正确，请输入完整的保存路径（如 D:\\备份\\C.wim）！";
    const std::string scratch = UpperAscii(ScratchFolderOf(savePath)) + "\\";
    if (UpperAscii(savePath).compare(0, scratch.size(), scratch) == 0)
        return "不可将映像文件保存到 " + ScratchFolderOf(savePath) +
               " 缓存目录中，备份结束时将删除此目录，请选择其他保存位置！";
    return std::string();
}
