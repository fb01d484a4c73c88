#include "engines/imagex/capture_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "common/cmdline.h"
#include "common/console_out.h"
#include "engines/imagex/capture_pipeline.h"
#include "engines/imagex/progress.h"
#include "engines/imagex/report.h"
#include "engines/wimformat/sha1.h"
#include "engines/wimformat/wim_disk.h"
#include "engines/wimformat/xml_info.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace imagex {

using wim::Error;
using wim::Status;

namespace {

// Nominal work per entry, so that trees of empty files still show progress.
constexpr uint64_t kEntryWork = 4096;

// The paths a capture leaves out, relative to the source root.
const char* const kExcluded[] = {
    "$windows.~bt", "$windows.~ls", "winpepge.sys", "windows\\csc",
    "Recycled",     "Recycler",     "$Recycle.Bin", "System Volume Information",
    "swapfile.sys", "pagefile.sys", "hiberfil.sys",
};

uint64_t NowFileTime() {
    using namespace std::chrono;
    uint64_t since1970 =
        uint64_t(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
    return 116444736000000000ULL + since1970 * 10;
}

std::string Hex32(uint32_t v) {
    char b[16];
    snprintf(b, sizeof b, "0x%08X", v);
    return b;
}

void AddTime(wim::XmlElement* image, const char* name, uint64_t t) {
    wim::XmlElement* e = image->AddChild(name);
    e->AddChild("HIGHPART", Hex32(uint32_t(t >> 32)));
    e->AddChild("LOWPART", Hex32(uint32_t(t)));
}

// Text a WIM's XML cannot hold: control characters (XML 1.0 allows only
// tab, line feed and carriage return below 0x20).
bool XmlSafe(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    return true;
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    return GetFileAttributesW(engine::WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
#endif
}

bool IsFolder(const std::string& path) {
#ifdef _WIN32
    DWORD a = GetFileAttributesW(engine::WideFromUtf8(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

void RemoveFile(const std::string& path) {
#ifdef _WIN32
    DeleteFileW(engine::WideFromUtf8(path).c_str());
#else
    unlink(path.c_str());
#endif
}

Status ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    if (MoveFileExW(engine::WideFromUtf8(from).c_str(), engine::WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Status::Ok();
    return Status(Error::kWrite,
                  "cannot replace \"" + to + "\" (error " + std::to_string(GetLastError()) + ")");
#else
    if (rename(from.c_str(), to.c_str()) == 0) return Status::Ok();
    return Status(Error::kWrite, "cannot replace \"" + to + "\"");
#endif
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::string NormalizeSource(std::string s) {
    auto isSep = [](char c) { return c == '\\' || c == '/'; };
    while (s.size() > 1 && isSep(s.back()) && !(s.size() == 3 && s[1] == ':')) s.pop_back();
    if (s.size() == 2 && s[1] == ':') s += '\\';
    return s;
}

// The parts of a capture after the data: image tree, counts and XML.
struct Built {
    wim::ImageTree tree;
    uint64_t dirCount = 0, fileCount = 0, totalBytes = 0, hardLinkBytes = 0;
};

}  // namespace

bool ExcludedFromCapture(const std::string& relative) {
    std::string r = relative;
    for (char& c : r)
        if (c == '/') c = '\\';
    for (const char* e : kExcluded)
        if (engine::EqualsNoCase(r, e)) return true;
    return false;
}

bool CompressionOfName(const std::string& value, wim::Compression* out) {
    if (engine::EqualsNoCase(value, "none"))
        *out = wim::Compression::kNone;
    else if (engine::EqualsNoCase(value, "fast"))
        *out = wim::Compression::kXpress;
    else if (engine::EqualsNoCase(value, "maximum"))
        *out = wim::Compression::kLzx;
    else
        return false;
    return true;
}

std::string WorkingName(const std::string& image) {
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = (unsigned long)getpid();
#endif
    return image + "." + std::to_string(pid) + ".capturing";
}

namespace {

Status Capture(const CaptureOptions& o, CaptureSource* source, const std::string& working) {
    std::vector<SourceNode> nodes;
    Status s = source->Scan(NormalizeSource(o.source), &nodes);
    if (!s.ok()) return s;
    // Our own output never goes into the image, should it lie inside the source.
    for (SourceNode& n : nodes) {
        if (n.info.IsDirectory()) continue;
        if (source->SamePath(n.path, working) || source->SamePath(n.path, o.image)) {
            auto& siblings = nodes[size_t(n.info.parent)].info.children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), int(&n - &nodes[0])),
                           siblings.end());
        }
    }

    // Reachable entries in tree order, each once.
    std::vector<size_t> order{0};
    for (size_t k = 0; k < order.size(); ++k)
        for (int c : nodes[order[k]].info.children) order.push_back(size_t(c));

    // Security descriptors, each distinct one stored once.
    Built b;
    std::map<std::string, int32_t> sdIds;
    for (size_t i : order) {
        SourceNode& n = nodes[i];
        if (n.security.empty()) continue;
        auto ins = sdIds.emplace(n.security, int32_t(b.tree.securityDescriptors.size()));
        if (ins.second) b.tree.securityDescriptors.push_back(n.security);
        n.info.securityId = ins.first->second;
    }

    // What to store: the first name of a hard-linked file carries the data.
    std::vector<DataItem> items;
    std::map<uint64_t, size_t> linkFirst;  // link key -> node
    uint64_t work = nodes.size() * kEntryWork;
    for (size_t i : order) {
        SourceNode& n = nodes[i];
        if (n.linkKey && !linkFirst.emplace(n.linkKey, i).second) continue;
        if (n.info.IsReparsePoint()) {
            if (!n.reparseData.empty()) {
                DataItem d;
                d.node = &n;
                d.memory = &n.reparseData;
                d.size = n.reparseData.size();
                items.push_back(d);
            }
            continue;
        }
        for (const SourceStream& st : n.streams) {
            if (st.size == 0) continue;
            DataItem d;
            d.node = &n;
            d.stream = st.name;
            d.size = st.size;
            items.push_back(d);
            work += st.size;
        }
    }

    wim::WimWriter writer;
    s = writer.Create(working, o.kind);
    if (!s.ok()) return s;
    std::unique_ptr<ProgressReporter> progress;
    if (o.progress) progress = std::make_unique<ProgressReporter>("Capturing", work);
    std::map<wim::Hash, wim::ResourceSpec> blobs;
    s = WriteItems(items, source, &writer, o.threads, progress.get(), &blobs);
    if (!s.ok()) return s;

    // Hashes back onto the entries.
    std::map<std::pair<const SourceNode*, std::string>, wim::Hash> hashOf;
    for (const DataItem& d : items) hashOf[{d.node, d.stream}] = d.hash;
    std::map<uint64_t, uint64_t> groupIds;  // link key -> group number
    std::map<wim::Hash, uint32_t> refs;
    std::vector<int> newIndex(nodes.size(), -1);
    std::set<uint64_t> groupsSeen;
    for (size_t i : order) {
        SourceNode& n = nodes[i];
        const SourceNode* carrier = n.linkKey ? &nodes[linkFirst[n.linkKey]] : &n;
        wim::DirEntryInfo e = n.info;
        e.children.clear();
        e.streams.clear();
        uint64_t dataSize = 0;
        if (e.IsReparsePoint()) {
            auto it = hashOf.find({&n, std::string()});
            if (it != hashOf.end()) e.data = it->second;
            dataSize = n.reparseData.size();
        } else {
            for (const SourceStream& st : carrier->streams) {
                wim::Hash h{};
                auto it = hashOf.find({carrier, st.name});
                if (it != hashOf.end()) h = it->second;
                if (st.name.empty()) {
                    e.data = h;
                    dataSize = st.size;
                } else {
                    e.streams.push_back({st.name, h});
                }
            }
        }
        if (!wim::IsZeroHash(e.data)) refs[e.data]++;
        for (auto& ns : e.streams)
            if (!wim::IsZeroHash(ns.hash)) refs[ns.hash]++;
        if (n.linkKey) {
            auto ins = groupIds.emplace(n.linkKey, groupIds.size() + 1);
            e.hardLinkGroup = ins.first->second;
            if (!groupsSeen.insert(n.linkKey).second) b.hardLinkBytes += dataSize;
        }
        if (e.IsDirectory() && !e.IsReparsePoint()) {
            b.dirCount++;
        } else {
            b.fileCount++;
            b.totalBytes += dataSize;
        }
        if (i != 0) {
            int parent = newIndex[size_t(n.info.parent)];
            e.parent = parent;
            b.tree.entries[size_t(parent)].children.push_back(int(b.tree.entries.size()));
        } else {
            e.name.clear();
            e.parent = -1;
        }
        newIndex[i] = int(b.tree.entries.size());
        b.tree.entries.push_back(std::move(e));
    }
    for (auto& kv : blobs) writer.AddBlob(kv.first, kv.second, refs[kv.first]);

    std::string meta = wim::SerializeMetadata(b.tree);
    std::unique_ptr<wim::Compressor> c = wim::MakeCompressor(o.kind, wim::kWriteChunkSize);
    wim::ResourceSpec metaSpec;
    s = writer.WriteResource(meta, c.get(), &metaSpec);
    if (!s.ok()) return s;
    wim::Sha1 sha;
    sha.Update(meta.data(), meta.size());
    wim::Hash metaHash;
    sha.Final(metaHash.data());
    writer.SetMetadata(metaSpec, metaHash);

    uint64_t now = NowFileTime();
    wim::XmlElement root;
    root.name = "WIM";
    wim::XmlElement* image = root.AddChild("IMAGE");
    image->attributes.emplace_back("INDEX", "1");
    image->AddChild("DIRCOUNT", std::to_string(b.dirCount));
    image->AddChild("FILECOUNT", std::to_string(b.fileCount));
    image->AddChild("TOTALBYTES", std::to_string(b.totalBytes));
    image->AddChild("HARDLINKBYTES", std::to_string(b.hardLinkBytes));
    AddTime(image, "CREATIONTIME", now);
    AddTime(image, "LASTMODIFICATIONTIME", now);
    image->AddChild("NAME", o.name);
    image->AddChild("DESCRIPTION", o.description);
    if (!o.flags.empty()) image->AddChild("FLAGS", o.flags);
    // The whole file's TOTALBYTES: everything before the XML data. The blob
    // table comes first, so add its size.
    uint64_t before = writer.position() + (blobs.size() + 1) * sizeof(wim::disk::BlobEntry);
    root.AddChild("TOTALBYTES", std::to_string(before));
    s = writer.Finish(wim::FormatXmlCompact(root), o.check);
    if (!s.ok()) return s;
    if (progress) progress->Finish(true);
    return Status::Ok();
}

}  // namespace

Status CaptureImage(const CaptureOptions& o, CaptureSource* source) {
    if (!XmlSafe(o.name) || !XmlSafe(o.description) || !XmlSafe(o.flags))
        return Status(Error::kCommandLine,
                      "the image name, description or flag holds control characters, which a "
                      "WIM file cannot store");
    if (o.image.empty()) return Status(Error::kCommandLine, "empty image file name");
    if (IsFolder(o.image))
        return Status(Error::kWrite, "the image file \"" + o.image + "\" is a folder");
    std::string folder = FolderOf(o.image);
    if (!IsFolder(folder))
        return Status(Error::kWrite,
                      "the folder \"" + folder + "\" of the image file does not exist");
    std::string root = NormalizeSource(o.source);
    if (!FileExists(root))
        return Status(Error::kOpen, "the source \"" + o.source + "\" does not exist");
    if (!IsFolder(root))
        return Status(Error::kOpen, "the source \"" + o.source + "\" is not a folder or drive");
    std::string working = WorkingName(o.image);
    Status s = Capture(o, source, working);
    if (s.ok()) s = ReplaceFile(working, o.image);
    if (!s.ok()) RemoveFile(working);
    return s;
}

int RunCapture(const Command& cmd) {
#ifndef _WIN32
    // A file-size limit then makes writes fail instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
#endif
    engine::PrintText(ProgramBanner());
    CaptureOptions o;
    o.source = cmd.source;
    o.image = cmd.image;
    o.name = cmd.name;
    o.description = cmd.description;
    o.flags = cmd.flags;
    o.check = cmd.check;
    if (!cmd.compress.empty() && !CompressionOfName(cmd.compress, &o.kind))
        return ReportError(
            Status(Error::kCommandLine, "unknown compression \"" + cmd.compress + "\""));
    std::unique_ptr<CaptureSource> source = MakeCaptureSource();
    Status s = CaptureImage(o, source.get());
    if (!s.ok()) return ReportError(s);
    engine::PrintText("\r\nSuccessfully imaged " + cmd.source + "\r\n");
    return 0;
}

}  // namespace imagex
