// GHOSTEXP natively: lists an image or extracts entries from it.
//   GHOSTEXP <image> [-pwd=P]                       one line per entry
//   GHOSTEXP <image> [-pwd=P] -extract=<dir> <entry path>...
// Prints nothing else on success; an error text otherwise.
#include <cstdio>

#include "common/cmdline.h"
#include "common/console_out.h"
#include "engines/ghost/operations.h"

int main(int argc, char** argv) {
    engine::InitEngineIo();
    std::vector<std::string> args = engine::ProgramArguments(argc, argv);
    std::string image, password, dest;
    std::vector<std::string> wanted;
    for (const std::string& a : args) {
        if (engine::StartsWithNoCase(a, "-pwd="))
            password = a.substr(5);
        else if (engine::StartsWithNoCase(a, "-extract="))
            dest = a.substr(9);
        else if (image.empty())
            image = a;
        else
            wanted.push_back(a);
    }
    if (image.empty()) {
        engine::PrintText(u8"用法：GHOSTEXP 映像文件 [-pwd=密码] [-extract=目录 条目...]\n");
        return 2;
    }
    ghost::ImageReader reader;
    ghost::Status s = reader.Open(image, password);
    if (s.ok() && dest.empty()) {
        std::string out;
        for (const ghost::Entry& e : reader.index().entries) {
            const char* kind = e.type == ghost::EntryType::kDirectory ? "dir " : "file";
            out += std::string(kind) + " " + std::to_string(e.dataSize) + " " + e.path + "\n";
        }
        engine::PrintText(out);
    } else if (s.ok()) {
        std::vector<uint32_t> selected;
        for (const std::string& w : wanted) {
            bool found = false;
            for (uint32_t i = 0; i < reader.index().entries.size(); ++i) {
                if (reader.index().entries[i].path == w) {
                    selected.push_back(i);
                    found = true;
                }
            }
            if (!found) s = ghost::Fail(ghost::kErrUsage, u8"映像中没有 " + w);
        }
        if (s.ok()) {
            auto fs = ghost::OpenVolumeFs(dest);
            s = ghost::ExtractEntries(reader, selected, *fs, false,
                                      [](uint64_t, uint64_t) { return true; });
        }
    }
    if (s.ok()) return 0;
    engine::PrintText(ghost::ResultText(s));
    return s.code;
}
