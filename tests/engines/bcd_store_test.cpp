// The hive and BCD library: what we write, we and hivex read back the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engines/bcdstore/bcd_store.h"
#include "common/le.h"
#include "engines/bcdstore/hive.h"
#include "tests/engines/shell_run.h"

namespace {

using testshell::Shell;

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7 + (i >> 8));
    return v;
}

// Flattens a tree into "path" and "path|value|type|hex" lines.
void Flatten(const bcd::HiveKey& key, const std::string& path, std::map<std::string, int>& out) {
    ++out[path];
    for (const bcd::HiveValue& v : key.values) {
        std::string hex;
        for (uint8_t b : v.data)
            hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
        ++out[path + "|" + v.name + "|" + std::to_string(v.type) + "|" + hex];
    }
    for (const auto& sub : key.subkeys) Flatten(*sub, path + "\\" + sub->name, out);
}

std::string Base64(const std::vector<uint8_t>& data) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < data.size(); i += 3) {
        uint32_t n = uint32_t(data[i]) << 16;
        if (i + 1 < data.size()) n |= uint32_t(data[i + 1]) << 8;
        if (i + 2 < data.size()) n |= data[i + 2];
        out += table[(n >> 18) & 63];
        out += table[(n >> 12) & 63];
        out += i + 1 < data.size() ? table[(n >> 6) & 63] : '=';
        out += i + 2 < data.size() ? table[n & 63] : '=';
    }
    return out;
}

bcd::Hive SampleHive() {
    bcd::Hive hive;
    hive.root.name = "ROOT";
    bcd::HiveKey& many = hive.root.AddChild("Many");
    for (int i = 0; i < 600; ++i) many.AddChild("k" + std::to_string(i));  // ri over lh lists
    bcd::HiveKey& values = hive.root.AddChild("Values");
    values.SetValue("", bcd::kRegSz, bcd::RegSz("default value"));
    values.SetValue("Small", bcd::kRegBinary, {1, 2, 3});
    values.SetValue("Four", bcd::kRegDword, bcd::RegDword(0xA1B2C3D4));
    values.SetValue("Empty", bcd::kRegBinary, {});
    values.SetValue("Text", bcd::kRegSz, bcd::RegSz(u8"岚舟软件一键备份还原"));
    values.SetValue("List", bcd::kRegMultiSz, bcd::RegMultiSz({"one", "two"}));
    values.SetValue("Medium", bcd::kRegBinary, Bytes(5000, 3));
    values.SetValue("Big", bcd::kRegBinary, Bytes(40000, 9));  // big data, three segments
    hive.root.AddChild(u8"名字").SetValue(u8"值", bcd::kRegDword, bcd::RegDword(7));
    return hive;
}

TEST(Hive, WhatIsWrittenReadsBackTheSame) {
    bcd::Hive hive = SampleHive();
    std::vector<uint8_t> bytes = hive.Serialize();
    ASSERT_EQ(bytes.size() % 4096, 0u);
    bcd::Hive back;
    std::string error;
    ASSERT_TRUE(back.Parse(bytes, error)) << error;
    std::map<std::string, int> a, b;
    Flatten(hive.root, "", a);
    Flatten(back.root, "", b);
    EXPECT_EQ(a, b);
    // Rewriting what was read changes nothing a reader sees.
    bcd::Hive again;
    ASSERT_TRUE(again.Parse(back.Serialize(), error)) << error;
    std::map<std::string, int> c;
    Flatten(again.root, "", c);
    EXPECT_EQ(a, c);
}

TEST(Hive, HivexReadsEveryKeyAndValueWeWrite) {
    testshell::ScratchDir dir;
    bcd::Hive hive = SampleHive();
    std::vector<uint8_t> bytes = hive.Serialize();
    std::string file = dir.path + "/hive";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::string xml = Shell("hivexml '" + file + "'");
    // Base64 comes in lines.
    xml.erase(std::remove_if(xml.begin(), xml.end(), [](char c) { return c == '\r' || c == '\n'; }),
              xml.end());
    auto count = [&](const std::string& needle) {
        size_t n = 0;
        for (size_t at = xml.find(needle); at != std::string::npos; at = xml.find(needle, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("<node name="), 1u + 1 + 600 + 1 + 1);
    EXPECT_EQ(count("<node name=\"k599\">"), 1u);
    EXPECT_EQ(count(u8"<node name=\"名字\">"), 1u);
    EXPECT_EQ(count("<value type=\"string\" key=\"Text\" value=\"" +
                    std::string(u8"岚舟软件一键备份还原") + "\""),
              1u);
    EXPECT_EQ(count("<value type=\"int32\" key=\"Four\" value=\"" +
                    std::to_string(int32_t(0xA1B2C3D4)) + "\""),
              1u);
    EXPECT_EQ(count("<value type=\"int32\" key=\"" + std::string(u8"值") + "\" value=\"7\""), 1u);
    EXPECT_EQ(count("key=\"Big\" value=\"" + Base64(Bytes(40000, 9)) + "\""), 1u);
    EXPECT_EQ(count("key=\"Medium\" value=\"" + Base64(Bytes(5000, 3)) + "\""), 1u);
    EXPECT_EQ(count("key=\"Small\" value=\"" + Base64({1, 2, 3}) + "\""), 1u);
    EXPECT_EQ(count("<string>one</string><string>two</string>"), 1u);
    EXPECT_EQ(count("default value"), 1u);
}

TEST(Hive, DamagedFilesAreRefusedWithAReason) {
    std::vector<uint8_t> good = SampleHive().Serialize();
    std::string error;
    bcd::Hive hive;
    std::vector<uint8_t> bad = good;
    bad[0] = 'x';
    EXPECT_FALSE(hive.Parse(bad, error));
    EXPECT_EQ(error, "not a registry hive");
    bad = std::vector<uint8_t>(good.begin(), good.begin() + 6000);  // cut inside the bins
    EXPECT_FALSE(hive.Parse(bad, error));
    EXPECT_FALSE(error.empty());
    bad = good;
    common::StoreLe32(&bad[0x24], 0x7FFFFFF0);  // root far outside the file
    EXPECT_FALSE(hive.Parse(bad, error));
    EXPECT_EQ(error, "a cell lies outside the file");
}

// The root key's security descriptor size is read from the file: a size near 4 GiB
// once wrapped the bounds check and copied far past the cell (found by fuzzing).
TEST(Hive, SecurityDescriptorSizeBeyondItsCellIsNotCopied) {
    const std::vector<uint8_t> good = SampleHive().Serialize();
    const uint32_t rootNk = 0x1000 + common::LoadLe32(&good[0x24]) + 4;
    const uint32_t sk = 0x1000 + common::LoadLe32(&good[rootNk + 0x2C]) + 4;
    ASSERT_EQ(good[sk], 's');
    ASSERT_EQ(good[sk + 1], 'k');
    for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0x7FFFFFFFu}) {
        std::vector<uint8_t> bad = good;
        common::StoreLe32(&bad[sk + 0x10], size);
        bcd::Hive hive;
        std::string error;
        // The descriptor is not taken; the keys and values still read.
        ASSERT_TRUE(hive.Parse(bad, error)) << size << ": " << error;
        std::map<std::string, int> a, b;
        Flatten(SampleHive().root, "", a);
        Flatten(hive.root, "", b);
        EXPECT_EQ(a, b) << size;
    }
}

TEST(BcdStore, DevicesObjectsAndElementsRoundTrip) {
    bcd::Store store = bcd::Store::Empty();
    const std::string loader = "{11112222-3333-4444-8555-666677778888}";
    store.CreateObject(bcd::kBootMgrId, bcd::kTypeBootManager);
    store.CreateObject(loader, bcd::kTypeOsLoader);
    bcd::Device mbr;
    mbr.kind = bcd::Device::Kind::MbrPartition;
    mbr.mbrSignature = 0x1234ABCD;
    mbr.partitionOffset = 105906176;
    bcd::Device gpt;
    gpt.kind = bcd::Device::Kind::GptPartition;
    ASSERT_TRUE(bcd::ParseGuid("{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}", gpt.diskGuid));
    ASSERT_TRUE(bcd::ParseGuid("{01020304-0506-0708-090a-0b0c0d0e0f10}", gpt.partitionGuid));
    store.SetDevice(loader, bcd::kElemDevice, mbr);
    store.SetDevice(loader, bcd::kElemOsDevice, gpt);
    store.SetString(loader, bcd::kElemDescription, "Windows 7");
    store.SetList(bcd::kBootMgrId, bcd::kElemDisplayOrder, {loader});
    store.SetInteger(bcd::kBootMgrId, bcd::kElemTimeout, 30);

    bcd::Store back;
    std::string error;
    ASSERT_TRUE(back.Load(store.Save(), error)) << error;
    EXPECT_EQ(back.ObjectType(loader), bcd::kTypeOsLoader);
    EXPECT_EQ(back.GetString(loader, bcd::kElemDescription), "Windows 7");
    EXPECT_EQ(back.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder),
              std::vector<std::string>{loader});
    EXPECT_EQ(back.GetInteger(bcd::kBootMgrId, bcd::kElemTimeout), 30u);
    bcd::Device d = back.GetDevice(loader, bcd::kElemDevice);
    EXPECT_EQ(d.kind, bcd::Device::Kind::MbrPartition);
    EXPECT_EQ(d.mbrSignature, 0x1234ABCDu);
    EXPECT_EQ(d.partitionOffset, 105906176u);
    // The documented layout: type 6 at 0x10, offset at 0x20, MBR style at 0x34, signature at 0x38.
    std::vector<uint8_t> raw = bcd::EncodeDevice(mbr);
    ASSERT_EQ(raw.size(), 0x58u);
    EXPECT_EQ(raw[0x10], 6);
    EXPECT_EQ(common::LoadLe64(&raw[0x20]), 105906176u);
    EXPECT_EQ(raw[0x34], 1);
    EXPECT_EQ(common::LoadLe32(&raw[0x38]), 0x1234ABCDu);
    bcd::Device g = back.GetDevice(loader, bcd::kElemOsDevice);
    EXPECT_EQ(g.kind, bcd::Device::Kind::GptPartition);
    EXPECT_EQ(bcd::GuidString(g.partitionGuid), "{01020304-0506-0708-090a-0b0c0d0e0f10}");
    EXPECT_EQ(bcd::GuidString(g.diskGuid), "{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}");
    // Store layout as Windows keeps it.
    ASSERT_NE(back.hive().root.Child("Description"), nullptr);
    EXPECT_EQ(bcd::FromRegSz(back.hive().root.Child("Description")->Value("KeyName")->data),
              "BCD00000000");
    EXPECT_NE(
        back.hive().root.Child("Objects")->Child(loader)->Child("Elements")->Child("11000001"),
        nullptr);
    // A hive without Objects is not a store.
    bcd::Hive plain;
    plain.root.name = "x";
    EXPECT_FALSE(back.Load(plain.Serialize(), error));
}

TEST(BcdStore, GuidTexts) {
    std::array<uint8_t, 16> g;
    EXPECT_TRUE(bcd::ParseGuid("{9DEA862C-5CDD-4E70-ACC1-F32B344D4795}", g));
    EXPECT_EQ(bcd::GuidString(g), bcd::kBootMgrId);
    EXPECT_EQ(g[0], 0x2C);  // the first group is stored little-endian
    EXPECT_FALSE(bcd::ParseGuid("{9dea862c-5cdd-4e70-acc1-f32b344d479}", g));
    EXPECT_FALSE(bcd::ParseGuid("9dea862c-5cdd-4e70-acc1-f32b344d4795", g));
    std::string a = bcd::NewGuidString(), b = bcd::NewGuidString();
    EXPECT_NE(a, b);
    EXPECT_TRUE(bcd::ParseGuid(a, g));
    EXPECT_EQ(a[15], '4');  // version 4
}

}  // namespace
