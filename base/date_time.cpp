#include "base/date_time.h"

#include <cstdio>

namespace {

struct StylePictures {
    const char* date;
    const char* time;
    const char* shortDate;
    const char* shortTime;
};

const StylePictures kStyles[] = {
    {"yyyy年MM月dd日 ", "hh时mm分ss秒", "MM月dd日", "hh时mm分"},
    {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm"},
    {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm"},
    {"yyyyMMdd", "hhmmss", "MMdd", "hhmm"},
};

std::string Digits(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

}  // namespace

std::string ExpandTimePicture(const std::string& picture, const SysTime& time) {
    struct Code {
        const char* text;
        int width;
        int value;
    };
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    const Code codes[] = {
        {"yyyy", 4, time.year}, {"MM", 2, time.month},  {"dd", 2, time.day},
        {"hh", 2, hour12},      {"mm", 2, time.minute}, {"ss", 2, time.second},
    };
    std::string out;
    for (size_t i = 0; i < picture.size();) {
        const unsigned char c = static_cast<unsigned char>(picture[i]);
        if (c >= 0x80 && i + 1 < picture.size()) {
            // A GBK pair: its trail byte may look like a letter, and is never a code.
            out.append(picture, i, 2);
            i += 2;
            continue;
        }
        bool matched = false;
        for (const Code& code : codes) {
            const std::string text = code.text;
            if (picture.compare(i, text.size(), text) == 0) {
                out += Digits(code.value, code.width);
                i += text.size();
                matched = true;
                break;
            }
        }
        if (!matched) out += picture[i++];
    }
    return out;
}

std::string FormatDateTime(const SysTime& time, int style, int part) {
    const StylePictures& s = kStyles[style >= 0 && style <= 3 ? style : 0];
    std::string datePicture = s.date, timePicture = s.time;
    switch (part) {
        case 1:
            timePicture.clear();
            break;
        case 2:
            datePicture = s.shortDate;
            timePicture.clear();
            break;
        case 3:
        case 5:
            datePicture.clear();
            break;
        case 4:
            datePicture.clear();
            timePicture = s.shortTime;
            break;
        default:
            break;
    }
    return ExpandTimePicture(datePicture, time) + ExpandTimePicture(timePicture, time);
}
