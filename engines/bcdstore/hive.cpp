#include "engines/bcdstore/hive.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "common/le.h"
#include "engines/wimformat/utf.h"

namespace bcd {

using common::LoadLe16;
using common::LoadLe32;
using common::StoreLe16;
using common::StoreLe32;
using common::StoreLe64;

namespace {

constexpr size_t kBaseBlock = 4096;
constexpr size_t kBinSize = 4096;
constexpr size_t kBigDataSegment = 16344;  // largest data cell before big data is used
constexpr uint32_t kNoCell = 0xFFFFFFFF;
constexpr uint16_t kKeyCompressedName = 0x0020;
constexpr uint16_t kKeyHiveEntry = 0x0004;
constexpr uint16_t kKeyNoDelete = 0x0008;
constexpr uint16_t kValueCompressedName = 0x0001;
constexpr size_t kMaxSubkeysPerList = 512;

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

// UTF-16 code units of a UTF-8 text.
std::u16string Utf16(const std::string& s) {
    std::string bytes = wim::Utf16LeFromUtf8(s);
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += char16_t(uint8_t(bytes[i]) | (uint8_t(bytes[i + 1]) << 8));
    return out;
}

std::string Utf8FromUtf16Bytes(const uint8_t* p, size_t units) {
    return wim::Utf8FromUtf16Le(p, units * 2);
}

// A name as stored: Latin-1 bytes when every character fits, else UTF-16LE.
std::vector<uint8_t> EncodeName(const std::string& name, bool& compressed) {
    std::u16string wide = Utf16(name);
    compressed = std::all_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x100; });
    std::vector<uint8_t> out;
    for (char16_t c : wide) {
        out.push_back(uint8_t(c));
        if (!compressed) out.push_back(uint8_t(c >> 8));
    }
    return out;
}

std::string DecodeName(const uint8_t* p, size_t bytes, bool compressed) {
    if (!compressed) return Utf8FromUtf16Bytes(p, bytes / 2);
    std::string out;
    for (size_t i = 0; i < bytes; ++i) wim::AppendUtf8(out, p[i]);
    return out;
}

uint32_t NameHash(const std::string& name) {
    uint32_t h = 0;
    for (char16_t c : Utf16(name)) h = h * 37 + uint32_t(c >= 'a' && c <= 'z' ? c - 32 : c);
    return h;
}

// A self-relative descriptor: owner Administrators, group SYSTEM, full access for both.
std::vector<uint8_t> DefaultSecurity() {
    const uint8_t system[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    const uint8_t admins[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    std::vector<uint8_t> sd(20);
    sd[0] = 1;
    StoreLe16(&sd[2], 0x8004);  // self-relative, DACL present
    std::vector<uint8_t> acl(8);
    acl[0] = 2;
    auto ace = [&](const uint8_t* sid, size_t sidSize) {
        size_t at = acl.size();
        acl.resize(at + 8 + sidSize);
        acl[at + 1] = 0x03;  // inherited by subkeys
        StoreLe16(&acl[at + 2], uint16_t(8 + sidSize));
        StoreLe32(&acl[at + 4], 0x000F003F);  // full control of a key
        std::copy(sid, sid + sidSize, &acl[at + 8]);
    };
    ace(system, sizeof system);
    ace(admins, sizeof admins);
    StoreLe16(&acl[2], uint16_t(acl.size()));
    StoreLe16(&acl[4], 2);
    StoreLe32(&sd[16], 20);  // DACL
    sd.insert(sd.end(), acl.begin(), acl.end());
    StoreLe32(&sd[4], uint32_t(sd.size()));  // owner
    sd.insert(sd.end(), admins, admins + sizeof admins);
    StoreLe32(&sd[8], uint32_t(sd.size()));  // group
    sd.insert(sd.end(), system, system + sizeof system);
    return sd;
}

uint64_t FileTimeNow() {
    return (uint64_t(std::time(nullptr)) + 11644473600ull) * 10000000ull;
}

// ---- reading ----------------------------------------------------------------------

class Reader {
  public:
    Reader(const std::vector<uint8_t>& bytes, std::string& error) : b_(bytes), error_(error) {}

    // The record of the cell at `offset` (after its size field), or null.
    const uint8_t* Cell(uint32_t offset, size_t& length) {
        uint64_t at = kBaseBlock + uint64_t(offset);
        if (offset == kNoCell || at + 4 > b_.size()) return Fail("a cell lies outside the file");
        int32_t size = int32_t(LoadLe32(&b_[at]));
        if (size >= 0) return Fail("a referenced cell is free");
        length = size_t(-int64_t(size));
        if (length < 8 || at + length > b_.size()) return Fail("a cell runs past the file");
        length -= 4;
        return &b_[at + 4];
    }

    bool Key(uint32_t offset, HiveKey& key, int depth, std::vector<uint8_t>* security) {
        if (depth > 512 || !seen_.insert(offset).second) return Fail("the keys form a loop"), false;
        size_t len = 0;
        const uint8_t* nk = Cell(offset, len);
        if (!nk) return false;
        if (len < 0x4C || nk[0] != 'n' || nk[1] != 'k') return Fail("a key cell is not nk"), false;
        uint16_t flags = LoadLe16(nk + 2);
        uint16_t nameLength = LoadLe16(nk + 0x48);
        if (0x4Cu + nameLength > len) return Fail("a key name runs past its cell"), false;
        key.name = DecodeName(nk + 0x4C, nameLength, flags & kKeyCompressedName);
        if (security) {
            size_t skLength = 0;
            const uint8_t* sk = Cell(LoadLe32(nk + 0x2C), skLength);
            if (sk && skLength >= 0x14 && sk[0] == 's' && sk[1] == 'k') {
                // Compared without adding: a size near 4 GiB must not wrap past the check.
                uint32_t size = LoadLe32(sk + 0x10);
                if (size <= skLength - 0x14) security->assign(sk + 0x14, sk + 0x14 + size);
            }
            error_.clear();
        }
        uint32_t valueCount = LoadLe32(nk + 0x24);
        if (valueCount) {
            size_t listLength = 0;
            const uint8_t* list = Cell(LoadLe32(nk + 0x28), listLength);
            if (!list || listLength < 4 * size_t(valueCount))
                return Fail("a value list is damaged"), false;
            for (uint32_t i = 0; i < valueCount; ++i) {
                HiveValue value;
                if (!Value(LoadLe32(list + 4 * i), value)) return false;
                key.values.push_back(std::move(value));
            }
        }
        if (LoadLe32(nk + 0x14)) {
            std::vector<uint32_t> children;
            if (!SubkeyList(LoadLe32(nk + 0x1C), children, 0)) return false;
            for (uint32_t child : children) {
                auto sub = std::make_unique<HiveKey>();
                if (!Key(child, *sub, depth + 1, nullptr)) return false;
                key.subkeys.push_back(std::move(sub));
            }
        }
        return true;
    }

  private:
    std::nullptr_t Fail(const char* why) {
        if (error_.empty()) error_ = why;
        return nullptr;
    }

    bool SubkeyList(uint32_t offset, std::vector<uint32_t>& out, int depth) {
        size_t len = 0;
        const uint8_t* list = Cell(offset, len);
        if (!list || len < 4 || depth > 2) return Fail("a subkey list is damaged"), false;
        uint16_t count = LoadLe16(list + 2);
        std::string sig(reinterpret_cast<const char*>(list), 2);
        size_t stride = (sig == "lf" || sig == "lh") ? 8 : (sig == "li" || sig == "ri") ? 4 : 0;
        if (!stride || 4 + stride * count > len) return Fail("a subkey list is damaged"), false;
        for (uint16_t i = 0; i < count; ++i) {
            uint32_t entry = LoadLe32(list + 4 + stride * i);
            if (sig == "ri") {
                if (!SubkeyList(entry, out, depth + 1)) return false;
            } else {
                out.push_back(entry);
            }
        }
        return true;
    }

    bool Value(uint32_t offset, HiveValue& value) {
        size_t len = 0;
        const uint8_t* vk = Cell(offset, len);
        if (!vk) return false;
        if (len < 0x14 || vk[0] != 'v' || vk[1] != 'k')
            return Fail("a value cell is not vk"), false;
        uint16_t nameLength = LoadLe16(vk + 2);
        if (0x14u + nameLength > len) return Fail("a value name runs past its cell"), false;
        value.name = DecodeName(vk + 0x14, nameLength, LoadLe16(vk + 0x10) & kValueCompressedName);
        value.type = LoadLe32(vk + 0x0C);
        uint32_t size = LoadLe32(vk + 4);
        if (size & 0x80000000u) {
            size &= 0x7FFFFFFF;
            if (size > 4) return Fail("an inline value is longer than 4 bytes"), false;
            value.data.assign(vk + 8, vk + 8 + size);
            return true;
        }
        if (size == 0) return true;
        size_t dataLength = 0;
        const uint8_t* data = Cell(LoadLe32(vk + 8), dataLength);
        if (!data) return false;
        if (size > kBigDataSegment && dataLength >= 8 && data[0] == 'd' && data[1] == 'b') {
            uint16_t segments = LoadLe16(data + 2);
            size_t listLength = 0;
            const uint8_t* list = Cell(LoadLe32(data + 4), listLength);
            if (!list || listLength < 4 * size_t(segments))
                return Fail("big data is damaged"), false;
            for (uint16_t i = 0; i < segments && value.data.size() < size; ++i) {
                size_t segLength = 0;
                const uint8_t* seg = Cell(LoadLe32(list + 4 * i), segLength);
                if (!seg) return false;
                size_t take = std::min({segLength, kBigDataSegment, size - value.data.size()});
                value.data.insert(value.data.end(), seg, seg + take);
            }
            if (value.data.size() != size) return Fail("big data is short"), false;
            return true;
        }
        if (size > dataLength) return Fail("value data runs past its cell"), false;
        value.data.assign(data, data + size);
        return true;
    }

    const std::vector<uint8_t>& b_;
    std::string& error_;
    std::set<uint32_t> seen_;
};

// ---- writing ----------------------------------------------------------------------

class Writer {
  public:
    std::vector<uint8_t> bins;
    bool bigData = false;

    uint32_t Alloc(size_t recordBytes) {
        size_t cell = (recordBytes + 4 + 7) & ~size_t(7);
        if (bins.empty() || pos_ + cell > binEnd_) {
            CloseBin();
            size_t binSize = std::max(kBinSize, (cell + 32 + kBinSize - 1) / kBinSize * kBinSize);
            size_t start = bins.size();
            bins.resize(start + binSize, 0);
            std::copy_n("hbin", 4, &bins[start]);
            StoreLe32(&bins[start + 4], uint32_t(start));
            StoreLe32(&bins[start + 8], uint32_t(binSize));
            StoreLe64(&bins[start + 20], FileTimeNow());
            pos_ = start + 32;
            binEnd_ = start + binSize;
        }
        uint32_t offset = uint32_t(pos_);
        StoreLe32(&bins[pos_], uint32_t(-int32_t(cell)));
        pos_ += cell;
        return offset;
    }
    uint8_t* Rec(uint32_t offset) { return &bins[offset + 4]; }
    void CloseBin() {
        if (!bins.empty() && pos_ < binEnd_) StoreLe32(&bins[pos_], uint32_t(binEnd_ - pos_));
        pos_ = binEnd_;
    }

    uint32_t Data(const std::vector<uint8_t>& data) {
        if (data.size() <= kBigDataSegment) {
            uint32_t cell = Alloc(data.size());
            std::copy(data.begin(), data.end(), Rec(cell));
            return cell;
        }
        bigData = true;
        size_t segments = (data.size() + kBigDataSegment - 1) / kBigDataSegment;
        std::vector<uint32_t> cells;
        for (size_t i = 0; i < segments; ++i) {
            size_t from = i * kBigDataSegment;
            size_t n = std::min(kBigDataSegment, data.size() - from);
            uint32_t cell = Alloc(n);
            std::copy_n(data.begin() + from, n, Rec(cell));
            cells.push_back(cell);
        }
        uint32_t list = Alloc(4 * cells.size());
        for (size_t i = 0; i < cells.size(); ++i) StoreLe32(Rec(list) + 4 * i, cells[i]);
        uint32_t db = Alloc(8);
        uint8_t* r = Rec(db);
        r[0] = 'd';
        r[1] = 'b';
        StoreLe16(r + 2, uint16_t(segments));
        StoreLe32(r + 4, list);
        return db;
    }

    uint32_t Value(const HiveValue& v) {
        bool compressed = false;
        std::vector<uint8_t> name = EncodeName(v.name, compressed);
        uint32_t vk = Alloc(0x14 + name.size());
        uint32_t size = uint32_t(v.data.size());
        uint32_t dataField = 0;
        if (size > 4) {
            dataField = Data(v.data);
        } else {
            uint8_t inlineBytes[4] = {0, 0, 0, 0};
            std::copy(v.data.begin(), v.data.end(), inlineBytes);
            dataField = LoadLe32(inlineBytes);
            size |= 0x80000000u;
        }
        uint8_t* r = Rec(vk);
        r[0] = 'v';
        r[1] = 'k';
        StoreLe16(r + 2, uint16_t(name.size()));
        StoreLe32(r + 4, size);
        StoreLe32(r + 8, dataField);
        StoreLe32(r + 0x0C, v.type);
        StoreLe16(r + 0x10, compressed ? kValueCompressedName : 0);
        std::copy(name.begin(), name.end(), r + 0x14);
        return vk;
    }

    uint32_t SubkeyList(const std::vector<const HiveKey*>& keys,
                        const std::vector<uint32_t>& cells) {
        std::vector<uint32_t> lists;
        for (size_t from = 0; from < keys.size(); from += kMaxSubkeysPerList) {
            size_t n = std::min(kMaxSubkeysPerList, keys.size() - from);
            uint32_t lh = Alloc(4 + 8 * n);
            uint8_t* r = Rec(lh);
            r[0] = 'l';
            r[1] = 'h';
            StoreLe16(r + 2, uint16_t(n));
            for (size_t i = 0; i < n; ++i) {
                StoreLe32(r + 4 + 8 * i, cells[from + i]);
                StoreLe32(r + 8 + 8 * i, NameHash(keys[from + i]->name));
            }
            lists.push_back(lh);
        }
        if (lists.size() == 1) return lists[0];
        uint32_t ri = Alloc(4 + 4 * lists.size());
        uint8_t* r = Rec(ri);
        r[0] = 'r';
        r[1] = 'i';
        StoreLe16(r + 2, uint16_t(lists.size()));
        for (size_t i = 0; i < lists.size(); ++i) StoreLe32(r + 4 + 4 * i, lists[i]);
        return ri;
    }

    uint32_t Key(const HiveKey& key, uint32_t parent, uint32_t& sk,
                 const std::vector<uint8_t>& security, uint32_t& keyCount) {
        bool compressed = false;
        std::vector<uint8_t> name = EncodeName(key.name, compressed);
        uint32_t nk = Alloc(0x4C + name.size());
        ++keyCount;
        if (sk == kNoCell) {
            sk = Alloc(0x14 + security.size());
            uint8_t* r = Rec(sk);
            r[0] = 's';
            r[1] = 'k';
            StoreLe32(r + 4, sk);  // the only descriptor: its list points at itself
            StoreLe32(r + 8, sk);
            StoreLe32(r + 0x10, uint32_t(security.size()));
            std::copy(security.begin(), security.end(), r + 0x14);
        }
        uint32_t valueList = kNoCell, maxValueName = 0, maxValueData = 0;
        if (!key.values.empty()) {
            std::vector<uint32_t> cells;
            for (const HiveValue& v : key.values) {
                cells.push_back(Value(v));
                maxValueName = std::max(maxValueName, uint32_t(Utf16(v.name).size() * 2));
                maxValueData = std::max(maxValueData, uint32_t(v.data.size()));
            }
            valueList = Alloc(4 * cells.size());
            for (size_t i = 0; i < cells.size(); ++i) StoreLe32(Rec(valueList) + 4 * i, cells[i]);
        }
        // Subkey lists are sorted by upper-case name.
        std::vector<const HiveKey*> children;
        for (const auto& sub : key.subkeys) children.push_back(sub.get());
        std::sort(children.begin(), children.end(), [](const HiveKey* a, const HiveKey* b) {
            std::u16string x = Utf16(a->name), y = Utf16(b->name);
            for (auto& c : x) c = c >= 'a' && c <= 'z' ? char16_t(c - 32) : c;
            for (auto& c : y) c = c >= 'a' && c <= 'z' ? char16_t(c - 32) : c;
            return x < y;
        });
        std::vector<uint32_t> childCells;
        uint32_t maxChildName = 0;
        for (const HiveKey* child : children) {
            childCells.push_back(Key(*child, nk, sk, security, keyCount));
            maxChildName = std::max(maxChildName, uint32_t(Utf16(child->name).size() * 2));
        }
        uint32_t subkeyList = children.empty() ? kNoCell : SubkeyList(children, childCells);
        uint8_t* r = Rec(nk);
        r[0] = 'n';
        r[1] = 'k';
        uint16_t flags = compressed ? kKeyCompressedName : 0;
        if (parent == kNoCell) flags |= kKeyHiveEntry | kKeyNoDelete;
        StoreLe16(r + 2, flags);
        StoreLe64(r + 4, FileTimeNow());
        StoreLe32(r + 0x10, parent == kNoCell ? 0 : parent);
        StoreLe32(r + 0x14, uint32_t(children.size()));
        StoreLe32(r + 0x1C, subkeyList);
        StoreLe32(r + 0x20, kNoCell);
        StoreLe32(r + 0x24, uint32_t(key.values.size()));
        StoreLe32(r + 0x28, valueList);
        StoreLe32(r + 0x2C, sk);
        StoreLe32(r + 0x30, kNoCell);
        StoreLe32(r + 0x34, maxChildName);
        StoreLe32(r + 0x3C, maxValueName);
        StoreLe32(r + 0x40, maxValueData);
        StoreLe16(r + 0x48, uint16_t(name.size()));
        std::copy(name.begin(), name.end(), r + 0x4C);
        return nk;
    }

  private:
    size_t pos_ = 0;
    size_t binEnd_ = 0;
};

}  // namespace

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

HiveKey* HiveKey::Child(const std::string& childName) const {
    for (const auto& sub : subkeys)
        if (EqualNoCase(sub->name, childName)) return sub.get();
    return nullptr;
}

HiveKey& HiveKey::AddChild(const std::string& childName) {
    if (HiveKey* existing = Child(childName)) return *existing;
    subkeys.push_back(std::make_unique<HiveKey>());
    subkeys.back()->name = childName;
    return *subkeys.back();
}

bool HiveKey::RemoveChild(const std::string& childName) {
    for (auto it = subkeys.begin(); it != subkeys.end(); ++it)
        if (EqualNoCase((*it)->name, childName)) {
            subkeys.erase(it);
            return true;
        }
    return false;
}

const HiveValue* HiveKey::Value(const std::string& valueName) const {
    for (const HiveValue& v : values)
        if (EqualNoCase(v.name, valueName)) return &v;
    return nullptr;
}

void HiveKey::SetValue(const std::string& valueName, uint32_t type, std::vector<uint8_t> data) {
    for (HiveValue& v : values)
        if (EqualNoCase(v.name, valueName)) {
            v.type = type;
            v.data = std::move(data);
            return;
        }
    values.push_back(HiveValue{valueName, type, std::move(data)});
}

bool HiveKey::RemoveValue(const std::string& valueName) {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (EqualNoCase(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    return false;
}

bool Hive::Parse(const std::vector<uint8_t>& bytes, std::string& error) {
    error.clear();
    if (bytes.size() < kBaseBlock + 32 || std::string(bytes.begin(), bytes.begin() + 4) != "regf") {
        error = "not a registry hive";
        return false;
    }
    if (std::string(bytes.begin() + kBaseBlock, bytes.begin() + kBaseBlock + 4) != "hbin") {
        error = "the hive has no hive bins";
        return false;
    }
    root = HiveKey();
    security_.clear();
    Reader reader(bytes, error);
    if (!reader.Key(LoadLe32(&bytes[0x24]), root, 0, &security_)) {
        if (error.empty()) error = "the hive is damaged";
        return false;
    }
    return true;
}

std::vector<uint8_t> Hive::Serialize() const {
    Writer w;
    uint32_t sk = kNoCell, keyCount = 0;
    std::vector<uint8_t> security = security_.empty() ? DefaultSecurity() : security_;
    uint32_t rootCell = w.Key(root, kNoCell, sk, security, keyCount);
    StoreLe32(w.Rec(sk) + 0x0C, keyCount);  // every key refers to the one descriptor
    w.CloseBin();

    std::vector<uint8_t> file(kBaseBlock, 0);
    std::copy_n("regf", 4, &file[0]);
    StoreLe32(&file[4], 1);
    StoreLe32(&file[8], 1);
    StoreLe64(&file[0x0C], FileTimeNow());
    StoreLe32(&file[0x14], 1);
    StoreLe32(&file[0x18], w.bigData ? 5 : 3);
    StoreLe32(&file[0x20], 1);
    StoreLe32(&file[0x24], rootCell);
    StoreLe32(&file[0x28], uint32_t(w.bins.size()));
    StoreLe32(&file[0x2C], 1);
    uint32_t sum = 0;
    for (size_t i = 0; i < 0x1FC; i += 4) sum ^= LoadLe32(&file[i]);
    if (sum == 0xFFFFFFFF) sum = 0xFFFFFFFE;
    if (sum == 0) sum = 1;
    StoreLe32(&file[0x1FC], sum);
    file.insert(file.end(), w.bins.begin(), w.bins.end());
    return file;
}

std::vector<uint8_t> RegSz(const std::string& utf8) {
    std::vector<uint8_t> out;
    for (char16_t c : Utf16(utf8)) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::string FromRegSz(const std::vector<uint8_t>& data) {
    size_t units = data.size() / 2;
    size_t n = 0;
    while (n < units && LoadLe16(&data[2 * n]) != 0) ++n;
    return Utf8FromUtf16Bytes(data.data(), n);
}

std::vector<uint8_t> RegMultiSz(const std::vector<std::string>& utf8) {
    std::vector<uint8_t> out;
    for (const std::string& s : utf8) {
        std::vector<uint8_t> one = RegSz(s);
        out.insert(out.end(), one.begin(), one.end());
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::vector<std::string> FromRegMultiSz(const std::vector<uint8_t>& data) {
    std::vector<std::string> out;
    size_t units = data.size() / 2, start = 0;
    for (size_t i = 0; i < units; ++i)
        if (LoadLe16(&data[2 * i]) == 0) {
            if (i == start) break;
            out.push_back(Utf8FromUtf16Bytes(&data[2 * start], i - start));
            start = i + 1;
        }
    return out;
}

std::vector<uint8_t> RegDword(uint32_t v) {
    std::vector<uint8_t> out(4);
    StoreLe32(out.data(), v);
    return out;
}

}  // namespace bcd
