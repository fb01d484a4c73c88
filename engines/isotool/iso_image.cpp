#include "engines/isotool/iso_image.h"

#include <cstdio>
#include <cstring>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

namespace isotool {

namespace {

constexpr std::uint64_t kSector = 2048;
constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxEntries = 1000000;
constexpr std::uint64_t kMaxDirectoryBytes = 64ull << 20;

std::uint16_t Le16(const unsigned char* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint64_t Le64(const unsigned char* p) {
    return Le32(p) | std::uint64_t(Le32(p + 4)) << 32;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// UCS-2 big-endian (Joliet, UDF 16-bit names) to UTF-8; surrogate pairs joined.
std::string Ucs2BeToUtf8(const unsigned char* p, std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        std::uint32_t c = std::uint32_t(p[i]) << 8 | p[i + 1];
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes) {
            const std::uint32_t low = std::uint32_t(p[i + 2]) << 8 | p[i + 3];
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
                out += char(0xF0 | c >> 18);
                out += char(0x80 | (c >> 12 & 0x3F));
                out += char(0x80 | (c >> 6 & 0x3F));
                out += char(0x80 | (c & 0x3F));
                continue;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string Latin1ToUtf8(const unsigned char* p, std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) AppendUtf8(out, p[i]);
    return out;
}

// ";1" and a lone trailing dot go: "README.TXT;1" is README.TXT, "MAKEFILE.;1" MAKEFILE.
std::string StripVersion(std::string name) {
    const std::size_t semicolon = name.rfind(';');
    if (semicolon != std::string::npos) name.erase(semicolon);
    if (name.size() > 1 && name.back() == '.') name.pop_back();
    return name;
}

bool Within(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// --- ISO 9660 ------------------------------------------------------------------------

struct DirectoryRecord {
    std::uint32_t lba = 0;
    std::uint32_t length = 0;
    std::uint8_t flags = 0;
    std::string rawName;  // the identifier bytes
    std::string rrName;   // Rock Ridge NM, when present
    bool rrRelocated = false;
    std::uint32_t rrChildLink = 0;  // CL: the directory's real place
    bool hasRockRidge = false;
};

class Iso9660Reader {
  public:
    Iso9660Reader(ImageSource& image, IsoTree& tree, std::string& error)
        : image_(image), tree_(tree), error_(error) {}

    // Reads the descriptors; false when the image is not ISO 9660.
    bool Probe() {
        unsigned char d[kSector];
        for (std::uint64_t lba = 16; lba < 16 + 64; ++lba) {
            if (!image_.Read(lba * kSector, d, sizeof d)) break;
            if (std::memcmp(d + 1, "CD001", 5) != 0) break;
            if (d[0] == 255) break;
            if (d[0] == 1 && !havePrimary_) {
                havePrimary_ = true;
                std::memcpy(primaryRoot_, d + 156, 34);
            } else if (d[0] == 2 && !haveJoliet_ && d[88] == '%' && d[89] == '/' &&
                       (d[90] == '@' || d[90] == 'C' || d[90] == 'E')) {
                haveJoliet_ = true;
                std::memcpy(jolietRoot_, d + 156, 34);
            }
        }
        return havePrimary_;
    }
    bool HasJoliet() const { return haveJoliet_; }

    bool HasRockRidge() {
        DirectoryRecord root;
        if (!RecordAt(primaryRoot_, 34, false, root)) return false;
        std::string bytes;
        if (!ReadExtent(root.lba, root.length, bytes)) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        if (bytes.empty() || p[0] < 34 || p[0] > bytes.size()) return false;
        DirectoryRecord self;
        return RecordAt(p, p[0], true, self) && self.hasRockRidge;
    }

    bool Read(NameSource names) {
        names_ = names;
        tree_.names = names;
        const unsigned char* rootBytes = names == NameSource::Joliet ? jolietRoot_ : primaryRoot_;
        DirectoryRecord root;
        if (!RecordAt(rootBytes, 34, false, root))
            return Fail("the root directory record is damaged");
        return Walk(root.lba, root.length, std::string(), 0);
    }

  private:
    bool Fail(const std::string& why) {
        if (error_.empty()) error_ = why;
        return false;
    }

    bool ReadExtent(std::uint32_t lba, std::uint32_t length, std::string& bytes) {
        const std::uint64_t offset = std::uint64_t(lba) * kSector;
        if (length > kMaxDirectoryBytes || !Within(offset, length, image_.Size()))
            return Fail("a directory lies outside the image (truncated image?)");
        bytes.resize(length);
        return length == 0 || image_.Read(offset, &bytes[0], length) ||
               Fail("a directory cannot be read");
    }

    // Rock Ridge entries of one record's system use area, continuation areas followed
    // a bounded number of times.
    void ReadSystemUse(const unsigned char* p, std::size_t size, DirectoryRecord& r, int depth) {
        std::size_t i = 0;
        bool nameContinues = false;
        while (i + 4 <= size) {
            const unsigned char* e = p + i;
            const std::size_t len = e[2];
            if (len < 4 || i + len > size) break;
            if (e[0] == 'S' && e[1] == 'P') r.hasRockRidge = true;
            if (e[0] == 'R' && e[1] == 'R') r.hasRockRidge = true;
            if (e[0] == 'N' && e[1] == 'M' && len >= 5) {
                r.hasRockRidge = true;
                const unsigned flags = e[4];
                if (!(flags & 0x06)) {
                    if (!nameContinues && !r.rrName.empty() && !(flags & 1)) r.rrName.clear();
                    r.rrName.append(reinterpret_cast<const char*>(e + 5), len - 5);
                }
                nameContinues = flags & 1;
            }
            if (e[0] == 'R' && e[1] == 'E') r.rrRelocated = true;
            if (e[0] == 'C' && e[1] == 'L' && len >= 12) r.rrChildLink = Le32(e + 4);
            if (e[0] == 'C' && e[1] == 'E' && len >= 28 && depth < 8) {
                const std::uint64_t offset = std::uint64_t(Le32(e + 4)) * kSector + Le32(e + 12);
                const std::uint32_t length = Le32(e + 20);
                if (length <= kSector * 4 && Within(offset, length, image_.Size())) {
                    std::string more(length, '\0');
                    if (length && image_.Read(offset, &more[0], length))
                        ReadSystemUse(reinterpret_cast<const unsigned char*>(more.data()), length,
                                      r, depth + 1);
                }
            }
            if (e[0] == 'S' && e[1] == 'T') break;
            i += len;
        }
    }

    bool RecordAt(const unsigned char* p, std::size_t size, bool systemUse, DirectoryRecord& r) {
        if (size < 34 || p[0] < 34 || p[0] > size) return false;
        const std::size_t nameLength = p[32];
        if (33 + nameLength > p[0]) return false;
        r.lba = Le32(p + 2);
        r.length = Le32(p + 10);
        r.flags = p[25];
        r.rawName.assign(reinterpret_cast<const char*>(p + 33), nameLength);
        if (systemUse) {
            const std::size_t start = 33 + nameLength + (nameLength % 2 == 0 ? 1 : 0);
            if (start < p[0]) ReadSystemUse(p + start, p[0] - start, r, 0);
        }
        return true;
    }

    std::string NameOf(const DirectoryRecord& r) {
        if (names_ == NameSource::RockRidge && !r.rrName.empty()) return r.rrName;
        if (names_ == NameSource::Joliet)
            return StripVersion(Ucs2BeToUtf8(
                reinterpret_cast<const unsigned char*>(r.rawName.data()), r.rawName.size()));
        return StripVersion(r.rawName);
    }

    bool Walk(std::uint32_t lba, std::uint32_t length, const std::string& prefix, int depth) {
        if (depth > kMaxDepth) return Fail("directories nest too deeply");
        if (!visited_.insert(lba).second)
            return Fail("a directory contains itself (looping directories)");
        std::string bytes;
        if (!ReadExtent(lba, length, bytes)) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t i = 0;
        IsoEntry* pending = nullptr;  // a file whose extents continue (multi-extent)
        while (i < bytes.size()) {
            if (p[i] == 0) {  // the rest of this sector is padding
                i = (i / kSector + 1) * kSector;
                continue;
            }
            DirectoryRecord r;
            if (!RecordAt(p + i, bytes.size() - i, names_ == NameSource::RockRidge, r))
                return Fail("a directory record is damaged");
            i += p[i];
            if (r.rawName.size() == 1 && (r.rawName[0] == 0 || r.rawName[0] == 1)) continue;
            if (r.rrRelocated) continue;
            const bool isDirectory = (r.flags & 2) || r.rrChildLink;
            if (pending && !isDirectory) {
                // The next piece of a multi-extent file carries the same name.
                if (!AddExtent(*pending, r)) return false;
                if (!(r.flags & 0x80)) pending = nullptr;
                continue;
            }
            pending = nullptr;
            const std::string name = NameOf(r);
            if (!IsSafeComponent(name))
                return Fail("the image holds an unsafe name: \"" + name + "\"");
            if (tree_.entries.size() >= kMaxEntries)
                return Fail("the image holds too many entries");
            IsoEntry entry;
            entry.path = prefix + name;
            entry.isDirectory = isDirectory;
            if (isDirectory) {
                std::uint32_t childLba = r.lba, childLength = r.length;
                if (r.rrChildLink) {
                    // The relocated directory's own "." record tells its length.
                    unsigned char self[34];
                    childLba = r.rrChildLink;
                    if (!image_.Read(std::uint64_t(childLba) * kSector, self, sizeof self) ||
                        self[0] < 34)
                        return Fail("a relocated directory cannot be read");
                    childLength = Le32(self + 10);
                }
                tree_.entries.push_back(entry);
                if (!Walk(childLba, childLength, entry.path + "/", depth + 1)) return false;
            } else {
                tree_.entries.push_back(entry);
                if (!AddExtent(tree_.entries.back(), r)) return false;
                if (r.flags & 0x80) pending = &tree_.entries.back();
            }
        }
        return true;
    }

    bool AddExtent(IsoEntry& entry, const DirectoryRecord& r) {
        const std::uint64_t offset = std::uint64_t(r.lba) * kSector;
        if (!Within(offset, r.length, image_.Size()))
            return Fail("\"" + entry.path + "\" lies outside the image (truncated image?)");
        if (r.length) entry.extents.push_back(Extent{offset, r.length, false});
        entry.size += r.length;
        return true;
    }

    ImageSource& image_;
    IsoTree& tree_;
    std::string& error_;
    NameSource names_ = NameSource::Iso9660;
    bool havePrimary_ = false, haveJoliet_ = false;
    unsigned char primaryRoot_[34] = {}, jolietRoot_[34] = {};
    std::set<std::uint32_t> visited_;
};

// --- UDF -------------------------------------------------------------------------------

struct LongAd {
    std::uint32_t length = 0;
    std::uint32_t block = 0;
    std::uint16_t partition = 0;
};

LongAd ReadLongAd(const unsigned char* p) {
    return LongAd{Le32(p) & 0x3FFFFFFF, Le32(p + 4), Le16(p + 8)};
}

class UdfReader {
  public:
    UdfReader(ImageSource& image, IsoTree& tree, std::string& error)
        : image_(image), tree_(tree), error_(error) {}

    bool Probe() {
        unsigned char anchor[kSector];
        if (!ReadTagged(256, anchor, 2)) return false;
        const std::uint32_t length = Le32(anchor + 16), location = Le32(anchor + 20);
        unsigned char d[kSector];
        bool partition = false, volume = false;
        LongAd fsd;
        for (std::uint32_t i = 0; i < length / kSector && i < 256; ++i) {
            if (!image_.Read(std::uint64_t(location + i) * kSector, d, sizeof d) ||
                !TagValid(d, location + i))
                break;
            const std::uint16_t id = Le16(d);
            if (id == 8) break;
            if (id == 5 && !partition) {
                partition = true;
                partitionNumber_ = Le16(d + 22);
                partitionStart_ = Le32(d + 188);
            }
            if (id == 6 && !volume) {
                volume = true;
                if (Le32(d + 212) != kSector) return false;
                fsd = ReadLongAd(d + 248);
                const std::uint32_t maps = Le32(d + 268);
                // Only plain (type 1) partition maps: metadata and virtual partitions
                // belong to later UDF revisions that setup media do not use.
                const unsigned char* map = d + 440;
                for (std::uint32_t m = 0; m < maps && map + 6 <= d + kSector; ++m) {
                    if (map[0] != 1 || map[1] != 6) return false;
                    if (Le16(map + 4) != partitionNumber_) return false;
                    map += map[1];
                }
            }
        }
        if (!partition || !volume) return false;
        unsigned char set[kSector];
        if (!ReadTagged(partitionStart_ + fsd.block, set, 256)) return false;
        root_ = ReadLongAd(set + 400);
        return true;
    }

    bool Read() {
        tree_.names = NameSource::Udf;
        return Walk(root_, std::string(), 0);
    }

  private:
    bool Fail(const std::string& why) {
        if (error_.empty()) error_ = why;
        return false;
    }

    static bool TagValid(const unsigned char* d, std::uint32_t location) {
        unsigned sum = 0;
        for (int i = 0; i < 16; ++i)
            if (i != 4) sum += d[i];
        return (sum & 0xFF) == d[4] && Le32(d + 12) == location;
    }

    // A descriptor whose tag is checked; location is absolute (sectors).
    bool ReadTagged(std::uint32_t sector, unsigned char* d, std::uint16_t id) {
        return image_.Read(std::uint64_t(sector) * kSector, d, kSector) && Le16(d) == id &&
               TagValid(d, Le16(d) == 2 || Le16(d) < 256 ? sector : sector - partitionStart_);
    }

    bool ReadEntry(const LongAd& icb, std::vector<unsigned char>& d) {
        d.assign(kSector, 0);
        const std::uint64_t sector = std::uint64_t(partitionStart_) + icb.block;
        if (!Within(sector * kSector, kSector, image_.Size()) ||
            !image_.Read(sector * kSector, d.data(), kSector))
            return Fail("a file entry lies outside the image (truncated image?)");
        const std::uint16_t id = Le16(d.data());
        if ((id != 261 && id != 266) || !TagValid(d.data(), icb.block))
            return Fail("a file entry is damaged");
        return true;
    }

    // The extents of a file entry's data, holes included, cut to its length.
    bool ExtentsOf(const LongAd& icb, const std::vector<unsigned char>& d, IsoEntry& entry,
                   bool& isDirectory) {
        const bool extended = Le16(d.data()) == 266;
        const unsigned fileType = d[16 + 11];
        isDirectory = fileType == 4;
        const unsigned adType = Le16(d.data() + 16 + 18) & 7;
        const std::uint64_t length = Le64(d.data() + 56);
        const std::uint32_t eaLength = Le32(d.data() + (extended ? 208 : 168));
        const std::uint32_t adLength = Le32(d.data() + (extended ? 212 : 172));
        const std::size_t start = extended ? 216 : 176;
        if (start + std::uint64_t(eaLength) + adLength > kSector)
            return Fail("a file entry is damaged");
        entry.size = length;
        const std::uint64_t entryOffset = (std::uint64_t(partitionStart_) + icb.block) * kSector;
        if (adType == 3) {  // the data lives inside the entry
            if (length > adLength) return Fail("a file entry is damaged");
            if (length)
                entry.extents.push_back(Extent{entryOffset + start + eaLength, length, false});
            return true;
        }
        if (adType != 0 && adType != 1) return Fail("a file entry uses an unknown allocation");
        std::vector<unsigned char> ads(d.begin() + std::ptrdiff_t(start + eaLength),
                                       d.begin() + std::ptrdiff_t(start + eaLength + adLength));
        std::uint64_t left = length;
        int continuations = 0;
        const std::size_t adSize = adType == 0 ? 8 : 16;
        for (std::size_t i = 0; i + adSize <= ads.size() && left > 0;) {
            const std::uint32_t raw = Le32(&ads[i]);
            const unsigned kind = raw >> 30;
            const std::uint32_t bytes = raw & 0x3FFFFFFF;
            const std::uint32_t block = Le32(&ads[i + 4]);
            i += adSize;
            if (bytes == 0) break;
            if (kind == 3) {  // the list goes on in another sector
                if (++continuations > 1024) return Fail("allocation descriptors loop");
                unsigned char more[kSector];
                const std::uint64_t at = (std::uint64_t(partitionStart_) + block) * kSector;
                if (!Within(at, kSector, image_.Size()) || !image_.Read(at, more, sizeof more) ||
                    Le16(more) != 258)
                    return Fail("allocation descriptors are damaged");
                const std::uint32_t moreLength = Le32(more + 20);
                if (24 + std::uint64_t(moreLength) > kSector)
                    return Fail("allocation descriptors are damaged");
                ads.assign(more + 24, more + 24 + moreLength);
                i = 0;
                continue;
            }
            const std::uint64_t take = bytes < left ? bytes : left;
            const std::uint64_t offset = (std::uint64_t(partitionStart_) + block) * kSector;
            if (kind == 0) {
                if (!Within(offset, take, image_.Size()))
                    return Fail("\"" + entry.path + "\" lies outside the image (truncated image?)");
                entry.extents.push_back(Extent{offset, take, false});
            } else {
                entry.extents.push_back(Extent{0, take, true});
            }
            left -= take;
        }
        if (left > 0) return Fail("\"" + entry.path + "\" is shorter than its length");
        return true;
    }

    static std::string DecodeName(const unsigned char* p, std::size_t bytes) {
        if (bytes == 0) return std::string();
        if (p[0] == 8) return Latin1ToUtf8(p + 1, bytes - 1);
        if (p[0] == 16) return Ucs2BeToUtf8(p + 1, bytes - 1);
        return std::string();
    }

    bool Walk(const LongAd& icb, const std::string& prefix, int depth) {
        if (depth > kMaxDepth) return Fail("directories nest too deeply");
        if (!visited_.insert(icb.block).second)
            return Fail("a directory contains itself (looping directories)");
        std::vector<unsigned char> d;
        IsoEntry self;
        bool isDirectory = false;
        if (!ReadEntry(icb, d) || !ExtentsOf(icb, d, self, isDirectory)) return false;
        if (!isDirectory) return Fail("a directory entry names a file");
        if (self.size > kMaxDirectoryBytes) return Fail("a directory is too large");
        std::string bytes;
        bool ok = CopyFileBytes(image_, self, [&](const char* data, std::size_t n) {
            bytes.append(data, n);
            return true;
        });
        if (!ok) return Fail("a directory cannot be read");
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        std::size_t i = 0;
        while (i + 38 <= bytes.size()) {
            if (Le16(p + i) != 257) return Fail("a directory is damaged");
            const unsigned characteristics = p[i + 18];
            const std::size_t nameLength = p[i + 19];
            const LongAd child = ReadLongAd(p + i + 20);
            const std::size_t useLength = Le16(p + i + 36);
            const std::size_t total = (38 + useLength + nameLength + 3) & ~std::size_t(3);
            if (i + 38 + useLength + nameLength > bytes.size())
                return Fail("a directory is damaged");
            const unsigned char* name = p + i + 38 + useLength;
            i += total;
            if (characteristics & 0x0C) continue;  // deleted, or the parent
            const std::string decoded = DecodeName(name, nameLength);
            if (!IsSafeComponent(decoded))
                return Fail("the image holds an unsafe name: \"" + decoded + "\"");
            if (tree_.entries.size() >= kMaxEntries)
                return Fail("the image holds too many entries");
            IsoEntry entry;
            entry.path = prefix + decoded;
            if (characteristics & 0x02) {
                entry.isDirectory = true;
                tree_.entries.push_back(entry);
                if (!Walk(child, entry.path + "/", depth + 1)) return false;
            } else {
                std::vector<unsigned char> fe;
                bool childIsDirectory = false;
                if (!ReadEntry(child, fe) || !ExtentsOf(child, fe, entry, childIsDirectory))
                    return false;
                tree_.entries.push_back(entry);
            }
        }
        return true;
    }

    ImageSource& image_;
    IsoTree& tree_;
    std::string& error_;
    std::uint32_t partitionStart_ = 0;
    std::uint16_t partitionNumber_ = 0;
    LongAd root_;
    std::set<std::uint32_t> visited_;
};

}  // namespace

bool MemorySource::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    if (!Within(offset, size, size_)) return false;
    if (size) std::memcpy(buffer, data_ + offset, size);
    return true;
}

#ifdef _WIN32
FileSource::~FileSource() {
    if (handle_) CloseHandle(HANDLE(handle_));
}
bool FileSource::Open(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], int(wide.size()));
    if (n <= 0) return false;
    wide.resize(std::size_t(n - 1));
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return false;
    }
    handle_ = h;
    size_ = std::uint64_t(size.QuadPart);
    return true;
}
bool FileSource::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    if (!handle_ || !Within(offset, size, size_)) return false;
    auto* out = static_cast<char*>(buffer);
    while (size > 0) {
        OVERLAPPED at = {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
        DWORD got = 0;
        if (!ReadFile(HANDLE(handle_), out, chunk, &got, &at) || got == 0) return false;
        out += got;
        offset += got;
        size -= got;
    }
    return true;
}
#else
FileSource::~FileSource() {
    if (handle_) std::fclose(static_cast<std::FILE*>(handle_));
}
bool FileSource::Open(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    if (fseeko(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return false;
    }
    handle_ = f;
    size_ = std::uint64_t(ftello(f));
    return true;
}
bool FileSource::Read(std::uint64_t offset, void* buffer, std::size_t size) {
    auto* f = static_cast<std::FILE*>(handle_);
    if (!f || !Within(offset, size, size_)) return false;
    if (fseeko(f, off_t(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, size, f) == size;
}
#endif

bool IsSafeComponent(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            return false;
    // Windows drops trailing dots and blanks, which could turn "..." into "..".
    return name.back() != '.' && name.back() != ' ';
}

bool ReadIsoTree(ImageSource& image, NameSource wanted, IsoTree& tree, std::string& error) {
    tree = IsoTree();
    error.clear();
    if (wanted == NameSource::Udf || wanted == NameSource::Auto) {
        UdfReader udf(image, tree, error);
        if (udf.Probe()) {
            if (udf.Read()) return true;
            // A damaged UDF side is not trusted for the ISO 9660 side either.
            tree = IsoTree();
            return false;
        }
        if (wanted == NameSource::Udf) {
            error = "the image has no UDF file system";
            return false;
        }
    }
    tree = IsoTree();
    Iso9660Reader iso(image, tree, error);
    if (!iso.Probe()) {
        error = "not an ISO 9660 or UDF image";
        return false;
    }
    NameSource names = wanted;
    if (wanted == NameSource::Auto)
        names = iso.HasRockRidge() ? NameSource::RockRidge
                : iso.HasJoliet()  ? NameSource::Joliet
                                   : NameSource::Iso9660;
    if (names == NameSource::Joliet && !iso.HasJoliet()) {
        error = "the image has no Joliet names";
        return false;
    }
    if (!iso.Read(names)) {
        tree = IsoTree();
        return false;
    }
    return true;
}

}  // namespace isotool
