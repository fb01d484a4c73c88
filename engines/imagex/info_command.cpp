#include "engines/imagex/info_command.h"

#include <cstdio>
#include <set>

#include "common/console_out.h"
#include "engines/imagex/report.h"
#include "engines/wimformat/metadata.h"
#include "engines/wimformat/wim_disk.h"
#include "engines/wimformat/xml_info.h"

namespace imagex {

using wim::Error;
using wim::Status;

Status CountImage(const wim::WimFile& wim, unsigned index, ImageCounts* out) {
    wim::ImageTree tree;
    Status s = wim::ReadImageTree(wim, index, &tree);
    if (!s.ok()) return s;
    std::set<uint64_t> groups;
    for (const auto& e : tree.entries) {
        if (e.IsDirectory()) {
            out->dirCount++;
            continue;
        }
        out->fileCount++;
        const wim::Blob* b = wim::IsZeroHash(e.data) ? nullptr : wim.FindBlob(e.data);
        uint64_t size = b ? b->size : 0;
        out->totalBytes += size;
        if (e.hardLinkGroup && !groups.insert(e.hardLinkGroup).second) out->hardLinkBytes += size;
    }
    return Status::Ok();
}

namespace {

std::string GuidText(const uint8_t g[16]) {
    char buf[64];
    snprintf(buf, sizeof buf,
             "{%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g[3], g[2],
             g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14],
             g[15]);
    return buf;
}

std::string AttributeLines(uint32_t flags) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%x", flags);
    std::string out = std::string("Attributes:  ") + buf + "\r\n";
    const std::pair<uint32_t, const char*> names[] = {
        {wim::kHeaderReadOnly, "Read only"},           {wim::kHeaderSpanned, "Spanned"},
        {wim::kHeaderResourceOnly, "Resource only"},   {wim::kHeaderMetadataOnly, "Metadata only"},
        {wim::kHeaderRpFix, "Relative path junction"},
    };
    for (auto& n : names)
        if (flags & n.first) out += std::string("             ") + n.second + "\r\n";
    return out;
}

void SetIfMissing(wim::XmlElement* e, const std::string& name, uint64_t value) {
    if (!e->Child(name)) e->AddChild(name, std::to_string(value));
}

}  // namespace

Status BuildInfoText(const wim::WimFile& wim, const std::string& path, bool check,
                     std::string* out) {
    const wim::WimHeaderInfo& h = wim.header();
    bool hasIntegrity = false;
    if (check) {
        Status s = wim.CheckIntegrity(&hasIntegrity);
        if (!s.ok()) return s;
    }
    std::string xmlText;
    Status s = wim.ReadXml(&xmlText);
    if (!s.ok()) return s;
    std::unique_ptr<wim::XmlElement> root;
    s = wim::ParseXml(xmlText, &root);
    if (!s.ok()) return s;
    if (root->name != "WIM") return Status(Error::kBadXml, "bad XML data: root element is not WIM");

    // Every image gets its counts even when the writer left them out.
    std::set<unsigned> listed;
    for (auto& c : root->children) {
        if (c->name != "IMAGE") continue;
        unsigned idx = unsigned(strtoul(c->Attribute("INDEX").c_str(), nullptr, 10));
        listed.insert(idx);
        if (c->Child("DIRCOUNT") && c->Child("FILECOUNT") && c->Child("TOTALBYTES")) continue;
        ImageCounts counts;
        s = CountImage(wim, idx, &counts);
        if (!s.ok()) return s;
        SetIfMissing(c.get(), "DIRCOUNT", counts.dirCount);
        SetIfMissing(c.get(), "FILECOUNT", counts.fileCount);
        SetIfMissing(c.get(), "TOTALBYTES", counts.totalBytes);
    }
    for (unsigned i = 1; i <= h.imageCount; ++i) {
        if (listed.count(i)) continue;
        ImageCounts counts;
        s = CountImage(wim, i, &counts);
        if (!s.ok()) return s;
        wim::XmlElement* img = root->AddChild("IMAGE");
        img->attributes.emplace_back("INDEX", std::to_string(i));
        img->AddChild("DIRCOUNT", std::to_string(counts.dirCount));
        img->AddChild("FILECOUNT", std::to_string(counts.fileCount));
        img->AddChild("TOTALBYTES", std::to_string(counts.totalBytes));
    }
    SetIfMissing(root.get(), "TOTALBYTES", wim.fileSize());

    std::string text = ProgramBanner();
    text += "WIM Information:\r\n----------------\r\n";
    text += "Path:        " + path + "\r\n";
    text += "GUID:        " + GuidText(h.guid) + "\r\n";
    text += "Image Count: " + std::to_string(h.imageCount) + "\r\n";
    text +=
        std::string("Compression: ") +
        (h.compression == wim::Compression::kNone ? "None" : wim::CompressionName(h.compression)) +
        "\r\n";
    text += "Part Number: " + std::to_string(h.partNumber) + "/" + std::to_string(h.totalParts) +
            "\r\n";
    text += "Boot Index:  " + std::to_string(h.bootIndex) + "\r\n";
    text += AttributeLines(h.flags);
    if (check)
        text += hasIntegrity ? "Integrity:   verified\r\n" : "Integrity:   no integrity table\r\n";
    text += "\r\nAvailable Image Choices:\r\n------------------------\r\n";
    text += wim::FormatXml(*root);
    *out = text;
    return Status::Ok();
}

int RunInfo(const std::string& path, bool check) {
    wim::WimFile wim;
    Status s = wim.Open(path);
    std::string text;
    if (s.ok()) s = BuildInfoText(wim, path, check, &text);
    if (!s.ok()) return ReportError(s);
    // The XML goes out as UTF-8 exactly; the program converts it itself.
    engine::WriteRaw(text);
    return 0;
}

}  // namespace imagex
