// A Windows-like volume on the fake NTFS model, backed up and restored by the
// Ghost engine onto a second fake volume holding old secured files, compared
// object by object, with the order of the restore's calls checked: the
// descriptor as each object's last write, nothing written inside a secured
// folder without backup intent, short names before other links, no superseded
// default stream after a named one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <map>

#include "engines/bcdstore/hive.h"
#include "engines/ghost/backup_exclusions.h"
#include "engines/ghost/image_reader.h"
#include "engines/ghost/operations.h"
#include "engines/ntfs_seam/fake_ntfs.h"

namespace {

using ntfs::FakeNtfs;

const uint32_t kAllParts =
    ntfs::kOwnerInfo | ntfs::kGroupInfo | ntfs::kDaclInfo | ntfs::kSaclInfo | ntfs::kLabelInfo;
const uint32_t kWofTag = 0x80000017, kCloudTag = 0x9000001A, kJunctionTag = 0xA0000003;

std::string Descriptor(char tag) {
    std::string sd(24, '\0');
    sd[0] = 1;
    sd[23] = tag;
    return sd;
}

std::string ReparseBuffer(uint32_t tag, const std::string& data) {
    std::string b(8, '\0');
    for (int i = 0; i < 4; ++i) b[size_t(i)] = char(tag >> (8 * i));
    b[4] = char(data.size());
    b[5] = char(data.size() >> 8);
    return b + data;
}

ntfs::OpenOptions Backup() {
    ntfs::OpenOptions o;
    o.backupSemantics = true;
    o.openReparsePoint = true;
    return o;
}

// Builds objects on a fake volume the way Windows would have left them; the
// descriptors are set at the end, children first.
class VolumeBuilder {
  public:
    explicit VolumeBuilder(FakeNtfs* fs) : fs_(fs) { fs_->EnablePrivileges(); }

    void Dir(const std::string& path, char sd, const std::string& shortName = "") {
        EXPECT_EQ(ntfs::kOk, fs_->MakeFolder(path)) << path;
        Finish(path, sd, shortName, 0, true);
    }
    void File(const std::string& path, const std::string& data, char sd, uint32_t attrs = 0x20,
              const std::string& shortName = "") {
        if (attrs & ntfs::kAttrEncrypted) {
            ASSERT_EQ(ntfs::kOk, fs_->WriteEncryptedRaw(path, data));
        } else {
            ntfs::Handle h = 0;
            ASSERT_EQ(ntfs::kOk,
                      fs_->Open(path, ntfs::kWrite, ntfs::Disposition::kCreateNew, Backup(), &h));
            if (attrs & ntfs::kAttrCompressed) fs_->SetCompressed(h);
            if (attrs & ntfs::kAttrSparse) fs_->SetSparse(h);
            fs_->Write(h, reinterpret_cast<const uint8_t*>(data.data()), data.size());
            fs_->Close(h);
        }
        Finish(path, sd, shortName, attrs, false);
    }
    void Stream(const std::string& path, const std::string& data) {
        ntfs::Handle h = 0;
        ASSERT_EQ(ntfs::kOk,
                  fs_->Open(path, ntfs::kWrite, ntfs::Disposition::kOpenAlways, Backup(), &h));
        fs_->Write(h, reinterpret_cast<const uint8_t*>(data.data()), data.size());
        fs_->Close(h);
    }
    void Reparse(const std::string& path, uint32_t tag, const std::string& data) {
        ntfs::Handle h = 0;
        ASSERT_EQ(ntfs::kOk,
                  fs_->Open(path, ntfs::kWrite, ntfs::Disposition::kOpenExisting, Backup(), &h));
        EXPECT_EQ(ntfs::kOk, fs_->SetReparsePoint(h, ReparseBuffer(tag, data)));
        fs_->Close(h);
    }
    // Descriptors last, deepest first.
    void Secure() {
        for (auto it = sds_.rbegin(); it != sds_.rend(); ++it) {
            ntfs::Handle h = 0;
            ASSERT_EQ(
                ntfs::kOk,
                fs_->Open(it->first, ntfs::kWriteDac | ntfs::kWriteOwner | ntfs::kSystemSecurity,
                          ntfs::Disposition::kOpenExisting, Backup(), &h));
            EXPECT_EQ(ntfs::kOk, fs_->SetSecurity(h, kAllParts, Descriptor(it->second)));
            fs_->Close(h);
        }
    }

  private:
    void Finish(const std::string& path, char sd, const std::string& shortName, uint32_t attrs,
                bool dir) {
        ntfs::Handle h = 0;
        ASSERT_EQ(ntfs::kOk, fs_->Open(path, ntfs::kWriteAttributes | ntfs::kDelete,
                                       ntfs::Disposition::kOpenExisting, Backup(), &h));
        if (!shortName.empty()) {
            EXPECT_EQ(ntfs::kOk, fs_->SetShortName(h, shortName));
        }
        uint64_t t = 130000000000000000ULL + 1000 * ++count_;
        fs_->SetTimes(h, t, t + 1, t + 2);
        if (!dir) fs_->SetAttributesOf(h, attrs & ~uint32_t(0x4a00));
        fs_->Close(h);
        if (sd) sds_.emplace_back(path, sd);
    }

    FakeNtfs* fs_;
    std::vector<std::pair<std::string, char>> sds_;
    int count_ = 0;
};

const std::string kSparse = std::string(200000, '\0') + "tail" + std::string(70000, '\0');

// The tree the issue lists: WinSxS hard links (the short-named name sorting
// second), TrustedInstaller-owned files, a junction, a labelled LocalLow,
// streams with an empty one, 8.3 names, a WOF file, a cloud folder, an EFS
// file, a compressed and a sparse file.
void BuildWindows(FakeNtfs* fs) {
    VolumeBuilder b(fs);
    b.Dir("C:\\Windows", 'T');
    b.Dir("C:\\Windows\\System32", 'T');
    b.Dir("C:\\Windows\\WinSxS", 'T');
    b.File("C:\\Windows\\System32\\comp.dll", std::string(5000, 'D'), 'T');
    ASSERT_EQ(ntfs::kOk,
              fs->MakeHardLink("C:\\Windows\\WinSxS\\comp.dll", "C:\\Windows\\System32\\comp.dll"));
    {
        ntfs::Handle h = 0;
        fs->Open("C:\\Windows\\WinSxS\\comp.dll", ntfs::kDelete, ntfs::Disposition::kOpenExisting,
                 Backup(), &h);
        EXPECT_EQ(ntfs::kOk, fs->SetShortName(h, "COMP~1.DLL"));
        fs->Close(h);
    }
    b.File("C:\\Windows\\System32\\notepad.exe", "wof-decompressed notepad", 'T');
    b.Reparse("C:\\Windows\\System32\\notepad.exe", kWofTag, "wof index");
    b.File("C:\\Windows\\compressed.log", "compress me", 'T', 0x800 | 0x20);
    b.File("C:\\Windows\\sparse.dat", kSparse, 'T', 0x200 | 0x20);
    b.File("C:\\Windows\\readonly.ini", "[x]", 'T', 0x1 | 0x20);
    b.Dir("C:\\Program Files (x86)", 'T', "PROGRA~2");
    b.Dir("C:\\Program Files (x86)\\Common Files", 'T');
    b.File("C:\\Program Files (x86)\\Common Files\\setup info.txt", "setup information", 'u', 0x20,
           "SETUPI~1.TXT");
    b.Stream("C:\\Program Files (x86)\\Common Files\\setup info.txt:Zone.Identifier",
             "[ZoneTransfer]\r\nZoneId=3\r\n");
    b.Stream("C:\\Program Files (x86)\\Common Files\\setup info.txt:empty", "");
    b.Dir("C:\\Users", 'u');
    b.Dir("C:\\Users\\Default", 'u');
    b.Dir("C:\\Users\\Default\\AppData", 'u');
    b.Dir("C:\\Users\\Default\\AppData\\LocalLow", 'L');
    b.File("C:\\Users\\Default\\AppData\\LocalLow\\low.dat", "low", 'L');
    b.Dir("C:\\Users\\Default\\OneDrive", 'u');
    b.Reparse("C:\\Users\\Default\\OneDrive", kCloudTag, "cloud");
    b.File("C:\\Users\\Default\\OneDrive\\doc.txt", "in the cloud folder", 'u');
    b.File("C:\\Users\\secret.efs", "ciphertext", 'u', 0x4000 | 0x20);
    b.Dir("C:\\Documents and Settings", 'j');
    b.Reparse("C:\\Documents and Settings", kJunctionTag, "\\??\\C:\\Users");
    b.File("C:\\pagefile.sys", "paging", 0);
    // Last in the image: a file whose only stream is empty.
    b.File("C:\\Windows\\zone-only.url", "", 'T');
    b.Stream("C:\\Windows\\zone-only.url:Zone.Identifier", "");
    b.Secure();
}

// Old contents of the target: a secured read-only file and a secured folder.
void BuildOldTarget(FakeNtfs* fs) {
    VolumeBuilder b(fs);
    b.Dir("D:\\old", 'o');
    b.File("D:\\old\\locked.sys", "old", 'o', 0x1 | 0x4);
    b.File("D:\\Windows", "a file where a folder goes", 'o');
    b.Secure();
}

std::string OnD(const std::string& c) {
    return "D" + c.substr(1);
}

class GhostOntoNtfs : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ntfs-ghost-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(name));
        dir_ = name;
        image_ = dir_ + "/image.GHO";
    }
    void TearDown() override {
        std::remove(image_.c_str());
        rmdir(dir_.c_str());
    }

    ghost::Status Backup(FakeNtfs* c) {
        auto volume = ghost::OpenNtfsVolumeFs("C:\\", c);
        ghost::ImageWriter::Options options;
        options.level = 1;
        options.origin = ghost::kOriginWindows;
        return ghost::BackupVolume(*volume, image_, options,
                                   [](uint64_t, uint64_t) { return true; });
    }
    ghost::Status Restore(FakeNtfs* d) {
        ghost::ImageReader reader;
        ghost::Status s = reader.Open(image_, "");
        if (!s.ok()) return s;
        auto volume = ghost::OpenNtfsVolumeFs("D:\\", d);
        return ghost::RestoreVolume(reader, *volume, {}, [](uint64_t, uint64_t) { return true; });
    }

    std::string dir_, image_;
};

TEST_F(GhostOntoNtfs, WindowsTreeComesBackObjectByObject) {
    FakeNtfs c("C:"), d("D:");
    BuildWindows(&c);
    BuildOldTarget(&d);
    ghost::Status s = Backup(&c);
    // The image is complete; the EFS file is named as not kept.
    EXPECT_EQ(ghost::kErrNotKept, s.code);
    EXPECT_NE(std::string::npos, s.message.find(u8"加密文件未备份 C:\\Users\\secret.efs"))
        << s.message;
    d.log.clear();
    s = Restore(&d);
    ASSERT_TRUE(s.ok()) << s.message;

    EXPECT_FALSE(d.Object("D:\\old"));
    EXPECT_FALSE(d.Object("D:\\Users\\secret.efs"));
    EXPECT_FALSE(d.Object("D:\\pagefile.sys"));
    for (const std::string& path : c.PathsBelow("C:")) {
        if (path == "C:\\Users\\secret.efs" || path == "C:\\pagefile.sys") continue;
        SCOPED_TRACE(path);
        auto from = c.Object(path), to = d.Object(OnD(path));
        ASSERT_TRUE(to);
        EXPECT_EQ(from->directory, to->directory);
        EXPECT_EQ(from->sd, to->sd);
        EXPECT_EQ(kAllParts, to->sdInformation);
        EXPECT_EQ(from->creation, to->creation);
        EXPECT_EQ(from->write, to->write);
        EXPECT_EQ(c.ShortName(path), d.ShortName(OnD(path)));
        EXPECT_EQ(from->links, to->links);
        // Only the junction stays a reparse point; WOF and cloud data are
        // read through their filters and come back plain.
        const uint32_t kept = 0x1 | 0x2 | 0x4 | 0x20 | 0x10 | 0x800 | 0x200;
        if (path == "C:\\Documents and Settings") {
            EXPECT_EQ(from->reparse, to->reparse);
            EXPECT_TRUE(to->attributes & ntfs::kAttrReparse);
        } else {
            EXPECT_EQ("", to->reparse);
            EXPECT_EQ(from->attributes & kept, to->attributes & ~uint32_t(ntfs::kAttrReparse));
            EXPECT_EQ(from->streams, to->streams);
        }
    }
    EXPECT_EQ(d.Object("D:\\Windows\\System32\\comp.dll"),
              d.Object("D:\\Windows\\WinSxS\\comp.dll"));
    EXPECT_EQ("wof-decompressed notepad",
              d.Object("D:\\Windows\\System32\\notepad.exe")->streams.at(""));
    EXPECT_EQ("in the cloud folder",
              d.Object("D:\\Users\\Default\\OneDrive\\doc.txt")->streams.at(""));
    // The sparse file's holes are skipped, not written.
    auto sparse = d.Object("D:\\Windows\\sparse.dat");
    EXPECT_EQ(kSparse, sparse->streams.at(""));
    EXPECT_LT(sparse->dataWritten, uint64_t(100000));
}

TEST_F(GhostOntoNtfs, RestoreCallsFollowTheNtfsRules) {
    FakeNtfs c("C:"), d("D:");
    BuildWindows(&c);
    BuildOldTarget(&d);
    Backup(&c);
    d.log.clear();
    ASSERT_TRUE(Restore(&d).ok());

    std::map<std::string, size_t> secured;
    std::map<std::string, bool> namedWritten;
    long shortName = -1, link = -1;
    for (size_t i = 0; i < d.log.size(); ++i) {
        const std::string& line = d.log[i];
        EXPECT_EQ(std::string::npos, line.find(" -> ")) << "failed call: " << line;
        size_t sp = line.find(' ');
        std::string call = line.substr(0, sp), rest = line.substr(sp + 1);
        std::string path = rest.substr(0, rest.find(" | "));
        std::string file = path.substr(0, path.find(':', 2));
        std::string parent = file.substr(0, file.rfind('\\'));
        if (call == "List") continue;
        EXPECT_EQ(0u, secured.count(file)) << line << " after the descriptor of " << file;
        if (secured.count(parent) && rest.find(" backup") == std::string::npos)
            ADD_FAILURE() << line << " inside the secured " << parent;
        if (call == "SetSecurity") secured[path] = i;
        if (call == "Write" && path != file) namedWritten[file] = true;
        if (call == "Open" && path == file && rest.find("create-always") != std::string::npos) {
            EXPECT_FALSE(namedWritten[file]) << line << " supersedes named streams";
        }
        if (call == "SetShortName" && path == "D:\\Windows\\WinSxS\\comp.dll") shortName = long(i);
        if (call == "CreateHardLink") link = long(i);
        // The old secured contents go only with backup intent.
        if (call == "Open" && rest.find("delete-on-close") != std::string::npos) {
            EXPECT_NE(std::string::npos, rest.find(" backup")) << line;
        }
    }
    // The short-named WinSxS name holds the data, so its short name is set
    // while it is the file's only name.
    ASSERT_GE(shortName, 0);
    ASSERT_GE(link, 0);
    EXPECT_LT(shortName, link);
    EXPECT_NE(std::string::npos, d.log[size_t(link)].find("D:\\Windows\\System32\\comp.dll"));
}

TEST_F(GhostOntoNtfs, WhatCannotBeKeptIsListedAndTheTargetIsSpared) {
    FakeNtfs c("C:");
    BuildWindows(&c);
    {
        // An unreadable descriptor: the backup goes on, names it, ends with 25.
        c.refuseSecurity = {"C:\\Windows\\System32"};
        ghost::Status s = Backup(&c);
        EXPECT_EQ(ghost::kErrNotKept, s.code);
        EXPECT_NE(std::string::npos,
                  s.message.find(u8"无法读取安全描述符 C:\\Windows\\System32（32）"))
            << s.message;
        c.refuseSecurity.clear();
        ASSERT_EQ(ghost::kErrNotKept, Backup(&c).code);  // the EFS file only
    }
    {
        // A descriptor the target refuses: everything else still gets its own.
        FakeNtfs d("D:");
        d.refuseSecurity = {"D:\\Windows\\System32"};
        ghost::Status s = Restore(&d);
        EXPECT_EQ(ghost::kErrNotKept, s.code);
        EXPECT_NE(std::string::npos,
                  s.message.find(u8"无法设置安全描述符 D:\\Windows\\System32（32）"))
            << s.message;
        EXPECT_EQ(Descriptor('T'), d.Object("D:\\Windows")->sd);
        EXPECT_EQ(Descriptor('T'), d.Object("D:\\Windows\\System32\\comp.dll")->sd);
        EXPECT_EQ(c.Object("C:\\Windows\\System32")->write,
                  d.Object("D:\\Windows\\System32")->write);
    }
    {
        // Without the privileges nothing is read or deleted.
        FakeNtfs d("D:");
        BuildOldTarget(&d);
        d.grantPrivileges = false;
        EXPECT_EQ(ghost::kErrPrivilege, Restore(&d).code);
        EXPECT_TRUE(d.Object("D:\\old\\locked.sys"));
        FakeNtfs e("C:");
        e.grantPrivileges = false;
        auto volume = ghost::OpenNtfsVolumeFs("C:\\", &e);
        std::vector<ghost::Entry> entries;
        EXPECT_EQ(ghost::kErrPrivilege, volume->Scan(&entries, nullptr).code);
    }
    {
        // 8.3 names turned off on the target: none set, not a loss.
        FakeNtfs d("D:");
        d.shortNamesEnabled = false;
        ghost::Status s = Restore(&d);
        EXPECT_TRUE(s.ok()) << s.message;
        EXPECT_EQ("", d.ShortName("D:\\Program Files (x86)"));
        EXPECT_EQ(
            "setup information",
            d.Object("D:\\Program Files (x86)\\Common Files\\setup info.txt")->streams.at(""));
    }
}

TEST_F(GhostOntoNtfs, FilesNotToBackupOfTheVolumesOwnWindowsAreLeftOut) {
    bcd::Hive hive;
    hive.root.name = "ROOT";
    hive.root.AddChild("Select").SetValue("Current", bcd::kRegDword, bcd::RegDword(2));
    // The set not in use lists everything: it must not count.
    hive.root.AddChild("ControlSet001")
        .AddChild("Control")
        .AddChild("BackupRestore")
        .AddChild("FilesNotToBackup")
        .SetValue("Old", bcd::kRegMultiSz, bcd::RegMultiSz({"\\* /s"}));
    bcd::HiveKey& list = hive.root.AddChild("ControlSet002")
                             .AddChild("Control")
                             .AddChild("BackupRestore")
                             .AddChild("FilesNotToBackup");
    list.SetValue("Temporary Files", bcd::kRegMultiSz,
                  bcd::RegMultiSz({"%SystemRoot%\\Temp\\* /s"}));
    list.SetValue("Memory Dump", bcd::kRegMultiSz,
                  bcd::RegMultiSz({"%systemroot%\\MEMORY.DMP", "C:\\Windows\\Logs\\*.log"}));
    list.SetValue("User Temp", bcd::kRegMultiSz, bcd::RegMultiSz({"%TEMP%\\* /s"}));
    std::vector<uint8_t> bytes = hive.Serialize();

    FakeNtfs c("C:");
    {
        VolumeBuilder b(&c);
        for (const char* d :
             {"C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\System32\\config",
              "C:\\Windows\\Temp", "C:\\Windows\\Temp\\sub", "C:\\Windows\\Logs",
              "C:\\Windows\\Logs\\deep"})
            b.Dir(d, 'T');
        b.File("C:\\Windows\\System32\\config\\SYSTEM", std::string(bytes.begin(), bytes.end()),
               'T');
        for (const char* f :
             {"C:\\Windows\\Temp\\a.tmp", "C:\\Windows\\Temp\\sub\\b.tmp",
              "C:\\Windows\\MEMORY.DMP", "C:\\Windows\\Logs\\x.log", "C:\\Windows\\Logs\\keep.txt",
              "C:\\Windows\\Logs\\deep\\y.log", "C:\\Windows\\memory.dmp.txt"})
            b.File(f, "x", 'T');
        b.Secure();
    }
    auto volume = ghost::OpenNtfsVolumeFs("C:\\", &c);
    std::vector<ghost::Entry> entries;
    ASSERT_TRUE(volume->Scan(&entries, nullptr).ok());
    std::string paths;
    for (const ghost::Entry& e : entries) paths += e.path + "\n";
    EXPECT_EQ(
        "Windows\n"
        "Windows/Logs\n"
        "Windows/Logs/deep\n"
        "Windows/Logs/deep/y.log\n"
        "Windows/Logs/keep.txt\n"
        "Windows/System32\n"
        "Windows/System32/config\n"
        "Windows/System32/config/SYSTEM\n"
        "Windows/Temp\n"
        "Windows/Temp/sub\n"
        "Windows/memory.dmp.txt\n",
        paths);

    // The masks as the file system reads them.
    ghost::BackupExclusions rules;
    rules.Add("\\ProgramData\\Microsoft\\*.* /s");
    rules.Add("\\hiberfil?.sys");
    rules.Add("%UserProfile%\\ntuser.dat");
    EXPECT_EQ(2u, rules.size());
    EXPECT_TRUE(rules.Excludes("ProgramData/Microsoft/Search/Data/noextension"));
    EXPECT_FALSE(rules.Excludes("ProgramData/Other/file.txt"));
    EXPECT_TRUE(rules.Excludes("HIBERFIL1.SYS"));
    EXPECT_FALSE(rules.Excludes("hiberfil.sys.bak"));
    EXPECT_FALSE(rules.Excludes("sub/hiberfil1.sys"));
}

TEST_F(GhostOntoNtfs, CopyNamesEncryptedFilesBeforeTouchingTheTarget) {
    FakeNtfs c("C:"), d("D:");
    BuildWindows(&c);
    BuildOldTarget(&d);
    auto none = [](uint64_t, uint64_t) { return true; };
    {
        auto from = ghost::OpenNtfsVolumeFs("C:\\", &c);
        auto to = ghost::OpenNtfsVolumeFs("D:\\", &d);
        ghost::Status s = ghost::CopyVolume(*from, *to, none);
        EXPECT_EQ(ghost::kErrNotKept, s.code);
        EXPECT_NE(std::string::npos, s.message.find("C:\\Users\\secret.efs")) << s.message;
        EXPECT_TRUE(d.Object("D:\\old\\locked.sys"));
    }
    ntfs::Handle h = 0;
    ntfs::OpenOptions gone;
    gone.backupSemantics = true;
    gone.deleteOnClose = true;
    ASSERT_EQ(ntfs::kOk, c.Open("C:\\Users\\secret.efs", ntfs::kDelete,
                                ntfs::Disposition::kOpenExisting, gone, &h));
    c.Close(h);
    auto from = ghost::OpenNtfsVolumeFs("C:\\", &c);
    auto to = ghost::OpenNtfsVolumeFs("D:\\", &d);
    ghost::Status s = ghost::CopyVolume(*from, *to, none);
    ASSERT_TRUE(s.ok()) << s.message;
    EXPECT_FALSE(d.Object("D:\\old"));
    // The short-named second name took the data; both names are one file.
    auto sxs = d.Object("D:\\Windows\\WinSxS\\comp.dll");
    ASSERT_TRUE(sxs);
    EXPECT_EQ(sxs, d.Object("D:\\Windows\\System32\\comp.dll"));
    EXPECT_EQ(std::string(5000, 'D'), sxs->streams.at(""));
    EXPECT_EQ("COMP~1.DLL", d.ShortName("D:\\Windows\\WinSxS\\comp.dll"));
    EXPECT_EQ(Descriptor('L'), d.Object("D:\\Users\\Default\\AppData\\LocalLow")->sd);
}

}  // namespace
