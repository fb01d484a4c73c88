// Unit tests of the writing side: chunk encoders against our decoders,
// Huffman code lengths, metadata and XML serialisation, what a capture leaves
// out, and the command-line checks that guard /apply and /capture.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engines/imagex/capture_command.h"
#include "engines/imagex/command_line.h"
#include "engines/wimformat/compress.h"
#include "engines/wimformat/huffman_encode.h"
#include "engines/wimformat/metadata.h"
#include "engines/wimformat/wim_disk.h"
#include "engines/wimformat/wim_writer.h"
#include "engines/wimformat/xml_info.h"

namespace {

std::vector<std::string> Samples() {
    std::mt19937 rng(11);
    std::vector<std::string> out;
    std::string text;
    for (int i = 0; text.size() < 40000; ++i)
        text += "line " + std::to_string(i * 7919 % 1003) + " of the sample text\n";
    for (size_t n : {1u, 10u, 64u, 100u, 300u, 4097u, 32767u, 32768u})
        out.push_back(text.substr(0, n));
    // Machine code with calls right up to the end, where the translation stops.
    std::string code(32768, '\0');
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = (i % 13 == 0) ? char(0xE8) : char(rng() % 16);
    for (size_t i = code.size() - 12; i < code.size(); ++i) code[i] = char(0xE8);
    out.push_back(code);
    out.push_back(std::string(32768, 'a'));
    std::string noise(32768, '\0');
    for (char& c : noise) c = char(rng());
    out.push_back(noise.substr(0, 16384) + noise.substr(0, 16384));  // one long repeat
    std::string mixed(32768, '\0');
    for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = char(rng() % 4 == 0 ? rng() : i / 100);
    out.push_back(mixed);
    out.push_back(noise);  // does not shrink
    return out;
}

TEST(WimCompressors, ChunksDecodeBackAndNeverGrow) {
    for (auto kind : {wim::Compression::kXpress, wim::Compression::kLzx}) {
        auto c = wim::MakeCompressor(kind, 32768);
        auto d = wim::MakeDecompressor(kind, 32768);
        ASSERT_TRUE(c && d);
        size_t shrunk = 0;
        for (const std::string& s : Samples()) {
            std::vector<uint8_t> out(32768), back(s.size());
            size_t n =
                c->Compress(reinterpret_cast<const uint8_t*>(s.data()), s.size(), out.data());
            EXPECT_LT(n, s.size());
            if (!n) continue;
            ++shrunk;
            ASSERT_TRUE(d->Decompress(out.data(), n, back.data(), back.size()))
                << wim::CompressionName(kind) << " size " << s.size();
            EXPECT_EQ(0, memcmp(back.data(), s.data(), s.size()))
                << wim::CompressionName(kind) << " size " << s.size();
        }
        EXPECT_GE(shrunk, 7u) << wim::CompressionName(kind);
        // Random bytes are stored raw.
        EXPECT_EQ(0u, c->Compress(reinterpret_cast<const uint8_t*>(Samples().back().data()), 32768,
                                  std::vector<uint8_t>(32768).data()));
    }
    EXPECT_EQ(nullptr, wim::MakeCompressor(wim::Compression::kLzx, 65536));
    EXPECT_EQ(nullptr, wim::MakeCompressor(wim::Compression::kNone, 32768));
}

TEST(WimHuffmanEncode, LengthsAreLimitedAndTheCodeComplete) {
    // Fibonacci frequencies make the deepest unlimited trees.
    std::vector<uint32_t> fib(40);
    fib[0] = fib[1] = 1;
    for (size_t i = 2; i < fib.size(); ++i) fib[i] = fib[i - 1] + fib[i - 2];
    for (unsigned limit : {7u, 15u, 16u}) {
        std::vector<uint8_t> lens(fib.size());
        wim::BuildCodeLengths(fib.data(), unsigned(fib.size()), limit, lens.data());
        double kraft = 0;
        for (size_t i = 0; i < lens.size(); ++i) {
            ASSERT_GE(lens[i], 1) << i;
            ASSERT_LE(lens[i], limit) << i;
            kraft += 1.0 / double(1u << lens[i]);
            if (i) {
                EXPECT_LE(lens[i], lens[i - 1]) << "a more frequent symbol got a longer code";
            }
        }
        EXPECT_DOUBLE_EQ(1.0, kraft) << limit;
    }
    uint32_t one[5] = {0, 0, 9, 0, 0};
    uint8_t lens[5];
    wim::BuildCodeLengths(one, 5, 15, lens);
    EXPECT_EQ(1, lens[2]);
    EXPECT_EQ(1, lens[0]);
    uint32_t codes[5];
    wim::CanonicalCodes(lens, 5, codes);
    EXPECT_EQ(0u, codes[0]);
    EXPECT_EQ(1u, codes[2]);
}

TEST(WimMetadataWrite, SerializedTreeParsesBackWithEveryField) {
    wim::ImageTree t;
    t.securityDescriptors = {std::string("\x01\x00\x04\x80", 4) + std::string(20, 'S'),
                             std::string(44, 'T')};
    auto add = [&](const std::string& name, uint32_t attrs, int parent) {
        wim::DirEntryInfo e;
        e.name = name;
        e.attributes = attrs;
        e.parent = parent;
        if (parent >= 0) t.entries[size_t(parent)].children.push_back(int(t.entries.size()));
        t.entries.push_back(e);
        return int(t.entries.size() - 1);
    };
    add("", wim::kAttrDirectory, -1);
    int docs = add(u8"文档", wim::kAttrDirectory | wim::kAttrHidden, 0);
    int empty = add("empty dir", wim::kAttrDirectory, 0);
    int file = add("a.txt", wim::kAttrArchive, docs);
    int link = add("b.txt", wim::kAttrArchive, docs);
    int rp = add("link", wim::kAttrReparsePoint, 0);
    t.entries[size_t(file)].data.fill(0x11);
    t.entries[size_t(file)].hardLinkGroup = 0x0001000200000003ULL;
    t.entries[size_t(file)].shortName = "A~1.TXT";
    t.entries[size_t(file)].securityId = 1;
    t.entries[size_t(file)].creationTime = 1;
    t.entries[size_t(file)].lastAccessTime = 2;
    t.entries[size_t(file)].lastWriteTime = 0x01D0000000000003ULL;
    t.entries[size_t(file)].streams.push_back({"zone", {}});
    t.entries[size_t(file)].streams.back().hash.fill(0x22);
    t.entries[size_t(link)].data.fill(0x11);
    t.entries[size_t(link)].hardLinkGroup = 0x0001000200000003ULL;
    t.entries[size_t(rp)].reparseTag = wim::kReparseTagSymlink;
    t.entries[size_t(rp)].reparseFlags = 1;
    t.entries[size_t(rp)].data.fill(0x33);

    std::string raw = wim::SerializeMetadata(t);
    wim::ImageTree back;
    ASSERT_TRUE(
        wim::ParseMetadata(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), &back).ok());
    EXPECT_EQ(t.securityDescriptors, back.securityDescriptors);
    ASSERT_EQ(t.entries.size(), back.entries.size());
    // Compare by name; the reader lists directories in its own order.
    for (const wim::DirEntryInfo& e : t.entries) {
        const wim::DirEntryInfo* b = nullptr;
        for (const auto& x : back.entries)
            if (x.name == e.name) b = &x;
        ASSERT_TRUE(b) << e.name;
        EXPECT_EQ(e.attributes, b->attributes) << e.name;
        EXPECT_EQ(e.shortName, b->shortName) << e.name;
        EXPECT_EQ(e.securityId, b->securityId) << e.name;
        EXPECT_EQ(e.creationTime, b->creationTime) << e.name;
        EXPECT_EQ(e.lastAccessTime, b->lastAccessTime) << e.name;
        EXPECT_EQ(e.lastWriteTime, b->lastWriteTime) << e.name;
        EXPECT_EQ(e.data, b->data) << e.name;
        EXPECT_EQ(e.hardLinkGroup, b->hardLinkGroup) << e.name;
        EXPECT_EQ(e.reparseTag, b->reparseTag) << e.name;
        EXPECT_EQ(e.reparseFlags, b->reparseFlags) << e.name;
        EXPECT_EQ(e.children.size(), b->children.size()) << e.name;
        ASSERT_EQ(e.streams.size(), b->streams.size()) << e.name;
        for (size_t k = 0; k < e.streams.size(); ++k) {
            EXPECT_EQ(e.streams[k].name, b->streams[k].name);
            EXPECT_EQ(e.streams[k].hash, b->streams[k].hash);
        }
    }
    (void)empty;
}

TEST(WimXml, CompactFormParsesBackWithEscapes) {
    wim::XmlElement root;
    root.name = "WIM";
    wim::XmlElement* img = root.AddChild("IMAGE");
    img->attributes.emplace_back("INDEX", "1");
    img->AddChild("NAME", u8"C_BAK <&> \"名\"");
    img->AddChild("FLAGS", " ");
    std::string text = wim::FormatXmlCompact(root);
    EXPECT_EQ(std::string::npos, text.find('\n'));
    std::unique_ptr<wim::XmlElement> back;
    ASSERT_TRUE(wim::ParseXml(text, &back).ok()) << text;
    EXPECT_EQ(u8"C_BAK <&> \"名\"", back->Child("IMAGE")->ChildText("NAME"));
    EXPECT_EQ(" ", back->Child("IMAGE")->ChildText("FLAGS"));
    EXPECT_EQ("1", back->Child("IMAGE")->Attribute("INDEX"));
}

TEST(ImagexCapture, LeavesOutTheElevenPathsOfTheNoticeAndNothingElse) {
    for (const char* p :
         {"$windows.~bt", "$WINDOWS.~LS", "winpepge.sys", "windows\\csc", "Windows/CSC", "Recycled",
          "RECYCLER", "$Recycle.Bin", "System Volume Information", "swapfile.sys", "pagefile.sys",
          "HIBERFIL.SYS"})
        EXPECT_TRUE(imagex::ExcludedFromCapture(p)) << p;
    for (const char* p : {"windows", "windows\\csc\\x", "docs\\pagefile.sys", "pagefile.sys.old",
                          "Recycle.Bin", "System Volume", "csc", "windows\\system32\\csc"})
        EXPECT_FALSE(imagex::ExcludedFromCapture(p)) << p;
}

TEST(ImagexCommandLine, CompressionNamesAndApplyTargets) {
    wim::Compression k;
    ASSERT_TRUE(imagex::CompressionOfName("Maximum", &k));
    EXPECT_EQ(wim::Compression::kLzx, k);
    ASSERT_TRUE(imagex::CompressionOfName("FAST", &k));
    EXPECT_EQ(wim::Compression::kXpress, k);
    ASSERT_TRUE(imagex::CompressionOfName("none", &k));
    EXPECT_EQ(wim::Compression::kNone, k);
    EXPECT_FALSE(imagex::CompressionOfName("lzms", &k));

    for (const char* t : {"C:\\", "d:/x", "\\\\server\\share", "/tmp/out"})
        EXPECT_TRUE(imagex::IsAbsoluteTarget(t)) << t;
    for (const char* t : {"\\", "", "C:", "C:x", "out", ".\\out", "/"})
        EXPECT_FALSE(imagex::IsAbsoluteTarget(t)) << t;

    imagex::Command c;
    std::vector<std::string> args = {"/apply", "a.wim", "1", "\\\\"};
    wim::Status s = imagex::ParseCommand(args, &c);
    EXPECT_EQ(wim::Error::kTarget, s.code);
    EXPECT_EQ("the target \"\\\" is not a drive or a full folder path; nothing was applied",
              s.message);
    EXPECT_EQ(
        "D:\\C.wim.77.capturing",
        imagex::WorkingName("D:\\C.wim").substr(0, 9) + "77" +
            imagex::WorkingName("D:\\C.wim").substr(imagex::WorkingName("D:\\C.wim").rfind('.')));
}

}  // namespace
