// Unit tests of the engine's command line, progress lines, XML output and of
// the format library's checks on headers, chunk tables and metadata.
#include <gtest/gtest.h>

#include <cstring>

#include "common/cmdline.h"
#include "engines/imagex/apply_target.h"
#include "engines/imagex/command_line.h"
#include "engines/imagex/progress.h"
#include "engines/wimformat/huffman.h"
#include "engines/wimformat/metadata.h"
#include "engines/wimformat/sha1.h"
#include "engines/wimformat/utf.h"
#include "engines/wimformat/wim_disk.h"
#include "engines/wimformat/wim_file.h"
#include "engines/wimformat/xml_info.h"

using imagex::Command;
using imagex::CommandKind;
using imagex::ParseCommand;

namespace {

wim::Status ParseLine(const std::string& line, Command* c) {
    std::vector<std::string> args = engine::SplitCommandLine(line);
    args.erase(args.begin());
    return ParseCommand(args, c);
}

TEST(ImagexCommandLine, ReadsTheProgramsOwnLines) {
    Command c;
    // The apply line as the program builds it: target root with two backslashes.
    ASSERT_TRUE(
        ParseLine(u8"C:\\windows\\\\Imagex.exe /apply \"D:\\系统\\win7.wim\" 4 C:\\\\", &c).ok());
    EXPECT_EQ(CommandKind::kApply, c.kind);
    EXPECT_EQ(u8"D:\\系统\\win7.wim", c.image);
    EXPECT_EQ(4u, c.index);
    EXPECT_EQ("C:\\", c.target);
    EXPECT_FALSE(c.check);

    ASSERT_TRUE(ParseLine("X:\\Imagex.exe /info /check \"D:\\win7.wim\"", &c).ok());
    EXPECT_EQ(CommandKind::kInfo, c.kind);
    EXPECT_TRUE(c.check);
    EXPECT_EQ("D:\\win7.wim", c.image);

    ASSERT_TRUE(ParseLine("X:\\Imagex.exe /INFO \"D:\\a b.wim\"", &c).ok());
    EXPECT_FALSE(c.check);
    EXPECT_EQ("D:\\a b.wim", c.image);

    ASSERT_TRUE(
        ParseLine(u8"X:\\Imagex.exe /capture C:\\ \"D:\\C.wim\" \"C_BAK_20161231115959\"  "
                  u8"\"本映像卷由岚舟软件星桥装机台生成\" /flags \"Ultimate\" /compress Maximum "
                  u8"/temp D:\\ImagexTemp",
                  &c)
            .ok());
    EXPECT_EQ(CommandKind::kCapture, c.kind);
    EXPECT_EQ("C:\\", c.source);
    EXPECT_EQ("D:\\C.wim", c.image);
    EXPECT_EQ("C_BAK_20161231115959", c.name);
    EXPECT_EQ(u8"本映像卷由岚舟软件星桥装机台生成", c.description);
    EXPECT_EQ("Ultimate", c.flags);
    EXPECT_EQ("Maximum", c.compress);
    EXPECT_EQ("D:\\ImagexTemp", c.temp);
    // An empty flag and a blank name are still a complete line.
    ASSERT_TRUE(
        ParseLine(
            "I.exe /capture C:\\ \"D:\\C.wim\" \" \"  \"d\" /flags \"\" /compress none /temp D:\\T",
            &c)
            .ok());
    EXPECT_EQ(" ", c.name);
    EXPECT_EQ("", c.flags);
}

TEST(ImagexCommandLine, RefusesWhatItDoesNotUnderstand) {
    Command c;
    wim::Status s = ParseLine("I.exe /export a.wim", &c);
    EXPECT_EQ(wim::Error::kCommandLine, s.code);
    EXPECT_EQ("unknown command \"/export\"", s.message);
    s = ParseLine("I.exe /info a.wim /bogus", &c);
    EXPECT_NE(std::string::npos, s.message.find("/bogus")) << s.message;
    s = ParseLine("I.exe /apply a.wim x C:\\", &c);
    EXPECT_EQ("image number \"x\" is not a positive number", s.message);
    s = ParseLine("I.exe /apply a.wim 1 C:\\ extra", &c);
    EXPECT_EQ("unexpected argument \"extra\" for /apply", s.message);
    s = ParseLine("I.exe /capture C:\\ a.wim n d /compress lzq", &c);
    EXPECT_EQ("unknown compression \"lzq\" (use Maximum, Fast or None)", s.message);
    s = ParseLine("I.exe /info", &c);
    EXPECT_EQ("/info needs the image file", s.message);
}

TEST(ImagexCommandLine, NormalizesTargetRoots) {
    EXPECT_EQ("C:\\", imagex::NormalizeTarget("C:\\\\"));
    EXPECT_EQ("C:\\", imagex::NormalizeTarget("C:\\\\\\"));
    EXPECT_EQ("C:\\", imagex::NormalizeTarget("C:"));
    EXPECT_EQ("D:\\out", imagex::NormalizeTarget("D:\\out\\\\"));
    EXPECT_EQ("/tmp/x", imagex::NormalizeTarget("/tmp/x///"));
    EXPECT_EQ("/", imagex::NormalizeTarget("/"));
}

TEST(ImagexProgress, LinesHaveTheShapeTheProgramParses) {
    EXPECT_EQ("[  45% ] Applying progress: 3:21 mins remaining",
              imagex::ProgressLine("Applying", 45, 201));
    EXPECT_EQ("[ 100% ] Applying progress: 0:00 mins remaining",
              imagex::ProgressLine("Applying", 100, 0));
    EXPECT_EQ("[   7% ] Capturing progress: 0:45 mins remaining",
              imagex::ProgressLine("Capturing", 7, 45));
    EXPECT_EQ("[   0% ] Applying progress", imagex::ProgressLine("Applying", 0, -1));
    EXPECT_EQ("1:02:03 hours", imagex::RemainingText(3723));
    EXPECT_EQ("59:59 mins", imagex::RemainingText(3599));
}

TEST(WimXml, PrintsOneElementPerLineWithImageTotalsIndentedByFour) {
    std::unique_ptr<wim::XmlElement> root;
    ASSERT_TRUE(
        wim::ParseXml(
            u8"\xEF\xBB\xBF<?xml version=\"1.0\"?><WIM><TOTALBYTES>99</TOTALBYTES>"
            u8"<IMAGE INDEX=\"1\"><NAME>A &amp; B</NAME><TOTALBYTES>13421772800</TOTALBYTES>"
            u8"<WINDOWS><VERSION><MAJOR>6</MAJOR></VERSION></WINDOWS>"
            u8"<DISPLAYNAME>Windows 7 旗舰版</DISPLAYNAME><EMPTY/></IMAGE></WIM>",
            &root)
            .ok());
    EXPECT_EQ(
        u8"<WIM>\r\n"
        u8"  <TOTALBYTES>99</TOTALBYTES>\r\n"
        u8"  <IMAGE INDEX=\"1\">\r\n"
        u8"    <NAME>A &amp; B</NAME>\r\n"
        u8"    <TOTALBYTES>13421772800</TOTALBYTES>\r\n"
        u8"    <WINDOWS>\r\n"
        u8"      <VERSION>\r\n"
        u8"        <MAJOR>6</MAJOR>\r\n"
        u8"      </VERSION>\r\n"
        u8"    </WINDOWS>\r\n"
        u8"    <DISPLAYNAME>Windows 7 旗舰版</DISPLAYNAME>\r\n"
        u8"    <EMPTY></EMPTY>\r\n"
        u8"  </IMAGE>\r\n"
        u8"</WIM>\r\n",
        wim::FormatXml(*root));
    EXPECT_EQ(wim::Error::kBadXml, wim::ParseXml("<WIM><IMAGE></WIM>", &root).code);
    EXPECT_EQ(wim::Error::kBadXml, wim::ParseXml("<WIM><A x=1></A></WIM>", &root).code);
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "<A>";
    EXPECT_EQ(wim::Error::kBadXml, wim::ParseXml(deep, &root).code);
}

TEST(WimText, Utf16RoundTripKeepsChineseAndSurrogates) {
    std::string s = u8"中文 name \U0001F600";
    std::string w = wim::Utf16LeFromUtf8(s);
    EXPECT_EQ(s, wim::Utf8FromUtf16Le(reinterpret_cast<const uint8_t*>(w.data()), w.size()));
    EXPECT_EQ(2u * 8 + 4, w.size());
}

std::string GoodHeader(uint64_t fileSize) {
    std::string h(sizeof(wim::disk::Header), '\0');
    memcpy(&h[0], wim::disk::kMagic, 8);
    common::StoreLe32(&h[0x08], 208);
    common::StoreLe32(&h[0x0C], wim::kWimVersionDefault);
    common::StoreLe32(&h[0x10], wim::kHeaderCompressed | wim::kHeaderLzx);
    common::StoreLe32(&h[0x14], 32768);
    common::StoreLe16(&h[0x28], 1);
    common::StoreLe16(&h[0x2A], 1);
    common::StoreLe32(&h[0x2C], 1);
    // Blob table: 50 bytes at 208.
    h[0x30] = 50;
    common::StoreLe64(&h[0x38], 208);
    common::StoreLe64(&h[0x40], 50);
    (void)fileSize;
    return h;
}

TEST(WimHeader, ChecksMagicSizesAndRanges) {
    wim::WimHeaderInfo info;
    std::string h = GoodHeader(1000);
    ASSERT_TRUE(
        wim::ParseHeader(reinterpret_cast<const uint8_t*>(h.data()), h.size(), 1000, &info).ok());
    EXPECT_EQ(wim::Compression::kLzx, info.compression);
    EXPECT_EQ(208u, info.blobTable.offset);

    EXPECT_EQ(
        wim::Error::kTruncated,
        wim::ParseHeader(reinterpret_cast<const uint8_t*>(h.data()), h.size(), 250, &info).code);
    std::string bad = h;
    bad[1] = 'X';
    EXPECT_EQ(wim::Error::kNotWim, wim::ParseHeader(reinterpret_cast<const uint8_t*>(bad.data()),
                                                    bad.size(), 1000, &info)
                                       .code);
    bad = h;
    common::StoreLe32(&bad[0x14], 12345);
    EXPECT_EQ(
        wim::Error::kUnsupported,
        wim::ParseHeader(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), 1000, &info)
            .code);
    bad = h;
    common::StoreLe16(&bad[0x2A], 3);
    EXPECT_EQ(
        wim::Error::kUnsupported,
        wim::ParseHeader(reinterpret_cast<const uint8_t*>(bad.data()), bad.size(), 1000, &info)
            .code);
    // The integrity header sits at 0x7C.
    bad = h;
    bad[0x7C] = 100;
    common::StoreLe64(&bad[0x84], 990);
    EXPECT_EQ(wim::Error::kTruncated, wim::ParseHeader(reinterpret_cast<const uint8_t*>(bad.data()),
                                                       bad.size(), 1000, &info)
                                          .code);
    EXPECT_EQ(wim::Error::kTruncated,
              wim::ParseHeader(reinterpret_cast<const uint8_t*>(h.data()), 100, 1000, &info).code);
}

TEST(WimChunks, ChunkTablesAreCheckedAndFullSizeChunksAreRaw) {
    wim::ResourceSpec r;
    r.offset = 1000;
    r.originalSize = 3 * 32768 + 10;  // four chunks, three table entries
    r.storedSize = 12 + 100 + 32768 + 50 + 10;
    r.flags = wim::kResourceCompressed;
    uint8_t table[12];
    common::StoreLe32(table, 100);
    common::StoreLe32(table + 4, 100 + 32768);
    common::StoreLe32(table + 8, 100 + 32768 + 50);
    std::vector<wim::ChunkExtent> out;
    ASSERT_TRUE(wim::ParseChunkTable(r, 32768, wim::Compression::kLzx, table, 12, &out).ok());
    ASSERT_EQ(4u, out.size());
    EXPECT_EQ(1012u, out[0].fileOffset);
    EXPECT_EQ(wim::Compression::kLzx, out[0].kind);
    EXPECT_EQ(wim::Compression::kNone, out[1].kind);  // stored at full size
    EXPECT_EQ(1012u + 100 + 32768 + 50, out[3].fileOffset);
    EXPECT_EQ(10u, out[3].originalSize);
    EXPECT_EQ(wim::Compression::kNone, out[3].kind);

    common::StoreLe32(table + 4, 50);  // offsets going backwards
    out.clear();
    EXPECT_EQ(wim::Error::kBadResource,
              wim::ParseChunkTable(r, 32768, wim::Compression::kLzx, table, 12, &out).code);
    common::StoreLe32(table + 4, 100 + 40000);  // a chunk larger than its data
    out.clear();
    EXPECT_EQ(wim::Error::kBadResource,
              wim::ParseChunkTable(r, 32768, wim::Compression::kLzx, table, 12, &out).code);
    size_t size = 0;
    r.storedSize = 4;
    EXPECT_EQ(wim::Error::kBadResource, wim::ChunkTableSize(r, 32768, &size).code);
    // Above 4 GiB the table holds 64-bit entries.
    r.originalSize = (uint64_t(5) << 30);
    r.storedSize = uint64_t(1) << 40;
    ASSERT_TRUE(wim::ChunkTableSize(r, 32768, &size).ok());
    EXPECT_EQ(((uint64_t(5) << 30) / 32768 - 1) * 8, size);
}

// Builds metadata: empty security data, then directory entries.
struct MetaBuilder {
    std::string buf;
    MetaBuilder() {
        buf.assign(8, '\0');
        common::StoreLe32(&buf[0], 8);
    }
    // Appends an entry and returns its offset.
    size_t Entry(const std::string& name, uint32_t attrs, uint64_t subdir,
                 const std::string& stream = "") {
        size_t off = buf.size();
        std::string n16 = wim::Utf16LeFromUtf8(name);
        size_t len = 0x66 + n16.size() + (n16.empty() ? 0 : 2);
        size_t padded = (len + 7) & ~size_t(7);
        buf.append(padded, '\0');
        common::StoreLe64(&buf[off], len);
        common::StoreLe32(&buf[off + 8], attrs);
        common::StoreLe32(&buf[off + 12], 0xFFFFFFFF);
        common::StoreLe64(&buf[off + 0x10], subdir);
        common::StoreLe16(&buf[off + 0x60], stream.empty() ? 0 : 1);
        common::StoreLe16(&buf[off + 0x64], uint16_t(n16.size()));
        memcpy(&buf[off + 0x66], n16.data(), n16.size());
        if (!stream.empty()) {
            std::string s16 = wim::Utf16LeFromUtf8(stream);
            size_t slen = 0x26 + s16.size() + 2;
            size_t so = buf.size();
            buf.append((slen + 7) & ~size_t(7), '\0');
            common::StoreLe64(&buf[so], slen);
            buf[so + 0x10] = 0x42;
            common::StoreLe16(&buf[so + 0x24], uint16_t(s16.size()));
            memcpy(&buf[so + 0x26], s16.data(), s16.size());
        }
        return off;
    }
    void End() { buf.append(8, '\0'); }
    void SetSubdir(size_t entry, uint64_t v) { common::StoreLe64(&buf[entry + 0x10], v); }
};

TEST(WimMetadata, ParsesTreesAndRefusesEscapingNamesAndLoops) {
    MetaBuilder m;
    size_t root = m.Entry("", 0x10, 0);
    m.End();
    size_t list = m.buf.size();
    m.SetSubdir(root, list);
    size_t dir = m.Entry(u8"目录", 0x10, 0);
    m.Entry("file.txt", 0x20, 0, "Zone.Identifier");
    m.End();
    size_t sub = m.buf.size();
    m.SetSubdir(dir, sub);
    m.Entry("inner", 0x20, 0);
    m.End();
    wim::ImageTree tree;
    ASSERT_TRUE(
        wim::ParseMetadata(reinterpret_cast<const uint8_t*>(m.buf.data()), m.buf.size(), &tree)
            .ok());
    ASSERT_EQ(4u, tree.entries.size());
    EXPECT_EQ(u8"目录", tree.entries[1].name);
    EXPECT_EQ("file.txt", tree.entries[2].name);
    ASSERT_EQ(1u, tree.entries[2].streams.size());
    EXPECT_EQ("Zone.Identifier", tree.entries[2].streams[0].name);
    EXPECT_EQ(0x42, tree.entries[2].streams[0].hash[0]);
    EXPECT_EQ("inner", tree.entries[3].name);
    EXPECT_EQ(1, tree.entries[3].parent);

    // A folder whose children list is the root's list again.
    MetaBuilder loop = m;
    loop.SetSubdir(dir, list);
    EXPECT_EQ(wim::Error::kBadMetadata,
              wim::ParseMetadata(reinterpret_cast<const uint8_t*>(loop.buf.data()), loop.buf.size(),
                                 &tree)
                  .code);

    for (const char* evil : {"..", ".", "a/b", "a\\b"}) {
        MetaBuilder e;
        size_t r = e.Entry("", 0x10, 0);
        e.End();
        e.SetSubdir(r, e.buf.size());
        e.Entry(evil, 0x20, 0);
        e.End();
        wim::Status s =
            wim::ParseMetadata(reinterpret_cast<const uint8_t*>(e.buf.data()), e.buf.size(), &tree);
        EXPECT_EQ(wim::Error::kBadMetadata, s.code) << evil;
    }
    // Truncated in the middle of an entry.
    EXPECT_EQ(
        wim::Error::kBadMetadata,
        wim::ParseMetadata(reinterpret_cast<const uint8_t*>(m.buf.data()), list + 40, &tree).code);
}

TEST(WimHuffman, RefusesOversubscribedCodes) {
    wim::HuffmanTable t;
    const uint8_t over[3] = {1, 1, 1};
    EXPECT_FALSE(t.Build(over, 3, 4, 8));
    const uint8_t ok[4] = {1, 2, 3, 3};
    ASSERT_TRUE(t.Build(ok, 4, 2, 8));
    unsigned len;
    EXPECT_EQ(0, t.Decode(0x00, &len));  // code 0
    EXPECT_EQ(1u, len);
    EXPECT_EQ(1, t.Decode(0x80, &len));  // code 10
    EXPECT_EQ(3, t.Decode(0xE0, &len));  // code 111, through a second-level table
    EXPECT_EQ(3u, len);
}

std::string HashOf(const std::string& data, size_t piece) {
    wim::Sha1 sha;
    for (size_t i = 0; i < data.size(); i += piece)
        sha.Update(data.data() + i, std::min(piece, data.size() - i));
    uint8_t h[20];
    sha.Final(h);
    return wim::HexOfHash(h);
}

TEST(WimSha1, KnownDigestsInWholeAndPiecewiseUpdates) {
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", HashOf("abc", 3));
    EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", HashOf("", 1));
    std::string million(1000000, 'a');
    EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", HashOf(million, million.size()));
    EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", HashOf(million, 1000));
    EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1",
              HashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 7));
}

std::string SymlinkData(const std::string& target, bool relative) {
    std::string t16 = wim::Utf16LeFromUtf8(target);
    std::string d(12, '\0');
    common::StoreLe16(&d[0], 0);
    common::StoreLe16(&d[2], uint16_t(t16.size()));
    common::StoreLe16(&d[4], uint16_t(t16.size()));
    common::StoreLe16(&d[6], uint16_t(t16.size()));
    common::StoreLe32(&d[8], relative ? 1 : 0);
    return d + t16 + t16;
}

TEST(ImagexReparse, LinksStayInsideTheAppliedTree) {
    EXPECT_EQ("../docs/a.txt", imagex::PosixLinkText(SymlinkData("..\\docs\\a.txt", true),
                                                     wim::kReparseTagSymlink, 2));
    EXPECT_EQ("../Windows/System32",
              imagex::PosixLinkText(SymlinkData("\\??\\C:\\Windows\\System32", false),
                                    wim::kReparseTagSymlink, 2));
    EXPECT_EQ("./Users", imagex::PosixLinkText(SymlinkData("\\??\\C:\\Users", false),
                                               wim::kReparseTagSymlink, 1));
    EXPECT_EQ("", imagex::PosixLinkText("short", wim::kReparseTagSymlink, 1));
    EXPECT_EQ("", imagex::PosixLinkText(SymlinkData("x", true), 0x80000017, 1));
}

}  // namespace
