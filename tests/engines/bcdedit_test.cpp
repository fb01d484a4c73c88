// bcdedit on a store file: the reboot-mode module's lines, what it prints, what the
// store holds afterwards, and failure texts without braces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engines/bcdedit/bcdedit_cli.h"
#include "engines/bcdstore/bcd_store.h"
#include "engines/bcdstore/store_file.h"
#include "tests/engines/shell_run.h"

namespace {

const char kDone[] = "The operation completed successfully.\r\n";

// The reboot-mode module's rule: the text between the first "{" and the following "}",
// put back into braces ("{}" when there is none).
std::string IdentifierAsTheProgramReadsIt(const std::string& output) {
    size_t open = output.find('{');
    size_t close = open == std::string::npos ? std::string::npos : output.find('}', open);
    if (close == std::string::npos) return "{}";
    return "{" + output.substr(open + 1, close - open - 1) + "}";
}

class BcdeditStore : public ::testing::Test {
  protected:
    void SetUp() override {
        store = dir.path + "/BCD";
        volumes = dir.path + "/volumes";
        std::ofstream(volumes) << "C: mbr 1234abcd 1048576\n";
        setenv("SB_FAKE_VOLUMES", volumes.c_str(), 1);
        bcd::Store s = bcd::Store::Empty();
        s.CreateObject(bcd::kBootMgrId, bcd::kTypeBootManager);
        s.SetString(bcd::kBootMgrId, bcd::kElemDescription, "Windows Boot Manager");
        s.CreateObject(windows7, bcd::kTypeOsLoader);
        s.SetList(bcd::kBootMgrId, bcd::kElemDisplayOrder, {windows7});
        s.SetString(bcd::kBootMgrId, bcd::kElemDefault, windows7);
        std::string error;
        ASSERT_TRUE(bcd::WriteStoreFile(store, s.Save(), error)) << error;
    }
    void TearDown() override { unsetenv("SB_FAKE_VOLUMES"); }

    // The module's prefix is the Windows folder and "bcdedit "; /store comes first here.
    bcdedit::RunResult Run(const std::string& args) {
        return bcdedit::RunBcdedit("C:\\Windows\\bcdedit /store \"" + store + "\" " + args, "");
    }
    bcd::Store Load() {
        std::vector<uint8_t> bytes;
        std::string error;
        bcd::Store s;
        EXPECT_TRUE(bcd::ReadStoreFile(store, bytes, error) && s.Load(bytes, error)) << error;
        return s;
    }

    testshell::ScratchDir dir;
    std::string store, volumes;
    const std::string windows7 = "{aaaaaaaa-0000-4000-8000-000000000007}";
};

TEST_F(BcdeditStore, TheModulesInstallSequence) {
    bcdedit::RunResult create =
        Run(std::string("/create /d \"") + u8"岚舟软件一键备份还原" + "\" /application bootsector");
    ASSERT_EQ(create.exitCode, bcdedit::kExitOk) << create.output;
    std::string id = IdentifierAsTheProgramReadsIt(create.output);
    EXPECT_EQ(create.output, "The entry " + id + " was successfully created.\r\n");
    EXPECT_EQ(Run("/set " + id + " device partition=C:").output, kDone);
    EXPECT_EQ(Run("/set " + id + " path \\mvldr.mbr").output, kDone);
    EXPECT_EQ(Run("/displayorder " + id + " /addlast").output, kDone);
    EXPECT_EQ(Run("/default " + id).output, kDone);

    bcd::Store s = Load();
    EXPECT_EQ(s.ObjectType(id), bcd::kTypeBootSector);
    EXPECT_EQ(s.GetString(id, bcd::kElemDescription), u8"岚舟软件一键备份还原");
    EXPECT_EQ(s.GetString(id, bcd::kElemPath), "\\mvldr.mbr");
    bcd::Device d = s.GetDevice(id, bcd::kElemDevice);
    EXPECT_EQ(d.kind, bcd::Device::Kind::MbrPartition);
    EXPECT_EQ(d.mbrSignature, 0x1234abcdu);
    EXPECT_EQ(d.partitionOffset, 1048576u);
    EXPECT_EQ(s.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder),
              (std::vector<std::string>{windows7, id}));
    EXPECT_EQ(s.GetString(bcd::kBootMgrId, bcd::kElemDefault), id);
    std::string xml = testshell::Shell("hivexml '" + store + "'");
    EXPECT_NE(xml.find(std::string("value=\"") + u8"岚舟软件一键备份还原" + "\""),
              std::string::npos);
    EXPECT_NE(xml.find("<node name=\"" + id + "\">"), std::string::npos);

    // A second install deletes the old entry first: lists and default forget it.
    EXPECT_EQ(Run("/delete " + id).output, kDone);
    s = Load();
    EXPECT_FALSE(s.HasObject(id));
    EXPECT_EQ(s.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder),
              std::vector<std::string>{windows7});
    EXPECT_FALSE(s.HasElement(bcd::kBootMgrId, bcd::kElemDefault));
}

TEST_F(BcdeditStore, ListsDefaultTimeoutAndEnumeration) {
    std::string a =
        IdentifierAsTheProgramReadsIt(Run("/create /d A /application bootsector").output);
    std::string b = IdentifierAsTheProgramReadsIt(Run("/create /d B /application osloader").output);
    EXPECT_EQ(Run("/displayorder " + a + " /addfirst").output, kDone);
    EXPECT_EQ(Run("/displayorder " + b + " /addlast").output, kDone);
    EXPECT_EQ(Run("/displayorder " + a + " /addlast").output, kDone);  // moves, not doubles
    EXPECT_EQ(Load().GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder),
              (std::vector<std::string>{windows7, b, a}));
    EXPECT_EQ(Run("/displayorder " + windows7 + " /remove").output, kDone);
    EXPECT_EQ(Run("/bootsequence " + b).output, kDone);
    EXPECT_EQ(Run("/timeout 5").output, kDone);
    EXPECT_EQ(Run("/set {default} description \"Seven\"").output, kDone);
    bcd::Store s = Load();
    EXPECT_EQ(s.GetList(bcd::kBootMgrId, bcd::kElemDisplayOrder), (std::vector<std::string>{b, a}));
    EXPECT_EQ(s.GetList(bcd::kBootMgrId, bcd::kElemBootSequence), std::vector<std::string>{b});
    EXPECT_EQ(s.GetInteger(bcd::kBootMgrId, bcd::kElemTimeout), 5u);
    EXPECT_EQ(s.GetString(windows7, bcd::kElemDescription), "Seven");

    bcdedit::RunResult list = Run("/enum");
    EXPECT_EQ(list.exitCode, bcdedit::kExitOk);
    EXPECT_NE(list.output.find("identifier              {bootmgr}\r\n"), std::string::npos)
        << list.output;
    EXPECT_NE(list.output.find("timeout                 5\r\n"), std::string::npos);
    EXPECT_NE(list.output.find("description             A\r\n"), std::string::npos);
    EXPECT_EQ(list.output.find("Seven"), std::string::npos);  // not in the menu any more
    EXPECT_NE(Run("/enum all").output.find("description             Seven\r\n"), std::string::npos);
}

TEST_F(BcdeditStore, FailuresHoldNoBracesAndChangeNothing) {
    std::vector<uint8_t> before, after;
    std::string error;
    ASSERT_TRUE(bcd::ReadStoreFile(store, before, error));
    const std::vector<std::string> bad = {
        "/set {bbbbbbbb-0000-4000-8000-000000000000} path \\x",
        "/set " + windows7 + " device partition=Q:",
        "/set " + windows7 + " device nowhere",
        "/set " + windows7 + " colour blue",
        "/set " + windows7 + " timeout soon",
        "/create /d Title",
        "/create /application bootsector",
        "/displayorder {nothere} /addlast",
        "/default",
        "/delete {bootmgr}",
        "/frobnicate",
        "/timeout -1",
    };
    for (const std::string& args : bad) {
        bcdedit::RunResult r = Run(args);
        EXPECT_EQ(r.exitCode, bcdedit::kExitFailed) << args;
        EXPECT_EQ(r.output.find('{'), std::string::npos) << args << ": " << r.output;
        EXPECT_EQ(r.output.find('}'), std::string::npos) << args << ": " << r.output;
        EXPECT_EQ(IdentifierAsTheProgramReadsIt(r.output), "{}");
        EXPECT_EQ(r.output.find("successfully"), std::string::npos) << r.output;
    }
    ASSERT_TRUE(bcd::ReadStoreFile(store, after, error));
    EXPECT_EQ(before, after);

    bcdedit::RunResult missing =
        bcdedit::RunBcdedit("bcdedit /store \"" + dir.path + "/none\" /enum", "");
    EXPECT_EQ(missing.exitCode, bcdedit::kExitFailed);
    EXPECT_EQ(missing.output.rfind("The boot configuration data store could not be opened: ", 0),
              0u);
    bcdedit::RunResult noStore =
        bcdedit::RunBcdedit("bcdedit /create /d X /application bootsector", "");
    EXPECT_EQ(noStore.output,
              "The boot configuration data store could not be opened: no store was found; name "
              "one with /store.\r\n");
    // /createstore makes an empty store that takes entries; it refuses to overwrite.
    std::string fresh = dir.path + "/fresh";
    EXPECT_EQ(bcdedit::RunBcdedit("bcdedit /createstore \"" + fresh + "\"", "").output, kDone);
    EXPECT_EQ(bcdedit::RunBcdedit("bcdedit /createstore \"" + fresh + "\"", "").exitCode,
              bcdedit::kExitFailed);
    EXPECT_EQ(
        bcdedit::RunBcdedit("bcdedit /store \"" + fresh + "\" /create {bootmgr} /d M", "").output,
        std::string("The entry ") + bcd::kBootMgrId + " was successfully created.\r\n");
}

}  // namespace
