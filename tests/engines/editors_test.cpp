// Bootice's BCD and GRUB4DOS menu editors: load, change, save, on store and menu files;
// and the native listing that stands in for the windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engines/bcdstore/bcd_store.h"
#include "engines/bcdstore/store_file.h"
#include "engines/bootice/bcd_editor.h"
#include "engines/bootice/bootice_cli.h"
#include "engines/bootice/menu_editor.h"
#include "tests/engines/shell_run.h"

namespace {

const char kSeven[] = "{aaaaaaaa-0000-4000-8000-000000000007}";
const char kTools[] = "{aaaaaaaa-0000-4000-8000-00000000000b}";
const char kHidden[] = "{aaaaaaaa-0000-4000-8000-00000000000c}";

std::string WriteSampleStore(const std::string& path) {
    bcd::Store s = bcd::Store::Empty();
    s.CreateObject(bcd::kBootMgrId, bcd::kTypeBootManager);
    s.SetString(bcd::kBootMgrId, bcd::kElemDescription, "Windows Boot Manager");
    s.SetInteger(bcd::kBootMgrId, bcd::kElemTimeout, 30);
    s.CreateObject(kSeven, bcd::kTypeOsLoader);
    s.SetString(kSeven, bcd::kElemDescription, "Windows 7");
    s.SetString(kSeven, bcd::kElemPath, "\\Windows\\system32\\winload.exe");
    s.CreateObject(kTools, bcd::kTypeBootSector);
    s.SetString(kTools, bcd::kElemDescription, "Tools");
    s.CreateObject(kHidden, bcd::kTypeBootSector);  // not in the menu
    s.SetList(bcd::kBootMgrId, bcd::kElemDisplayOrder, {kSeven, kTools});
    s.SetString(bcd::kBootMgrId, bcd::kElemDefault, kSeven);
    std::string error;
    EXPECT_TRUE(bcd::WriteStoreFile(path, s.Save(), error)) << error;
    return path;
}

std::string Capture;
void Print(const std::string& text) {
    Capture += text;
}

TEST(BcdEditor, EasyModeChangesTheMenuAndSaves) {
    testshell::ScratchDir dir;
    std::string file = WriteSampleStore(dir.path + "/BCD");
    std::ofstream(dir.path + "/volumes") << "D: mbr 0badcafe 2097152\n";
    setenv("SB_FAKE_VOLUMES", (dir.path + "/volumes").c_str(), 1);

    bootice::BcdEditor editor;
    std::string error;
    ASSERT_TRUE(editor.Load(file, error)) << error;
    std::vector<bootice::BcdEditor::Entry> menu = editor.MenuEntries();
    ASSERT_EQ(menu.size(), 2u);
    EXPECT_EQ(menu[0].description, "Windows 7");
    EXPECT_TRUE(menu[0].isDefault);
    EXPECT_EQ(menu[1].kind, "Real-mode Boot Sector");
    EXPECT_EQ(editor.AllEntries().size(), 4u);
    EXPECT_FALSE(editor.changed());

    EXPECT_TRUE(editor.SetDescription(kTools, u8"工具", error)) << error;
    EXPECT_TRUE(editor.SetDevice(kSeven, "D:", error)) << error;
    EXPECT_TRUE(editor.SetPath(kTools, "\\grldr.mbr", error)) << error;
    EXPECT_TRUE(editor.SetDefault(kTools, error)) << error;
    EXPECT_TRUE(editor.SetTimeout(5, error)) << error;
    EXPECT_TRUE(editor.changed());
    // Refused changes leave the entry as it was.
    EXPECT_FALSE(editor.SetPath(kTools, "grldr.mbr", error));
    EXPECT_FALSE(editor.SetDevice(kSeven, "Q:", error));
    EXPECT_EQ(error, "the partition of Q: cannot be identified");
    EXPECT_FALSE(editor.SetDevice(kSeven, "partition", error));
    EXPECT_FALSE(editor.SetTimeout(5000, error));
    EXPECT_FALSE(editor.SetDescription("{bbbbbbbb-0000-4000-8000-000000000000}", "x", error));
    EXPECT_EQ(error, "the entry is not in the store");
    ASSERT_TRUE(editor.Save(error)) << error;
    EXPECT_FALSE(editor.changed());

    bootice::BcdEditor again;
    ASSERT_TRUE(again.Load(file, error)) << error;
    menu = again.MenuEntries();
    EXPECT_EQ(menu[1].description, u8"工具");
    EXPECT_EQ(menu[1].path, "\\grldr.mbr");
    EXPECT_TRUE(menu[1].isDefault);
    EXPECT_FALSE(menu[0].isDefault);
    EXPECT_EQ(menu[0].device, "partition (MBR disk 0badcafe, offset 2097152)");
    EXPECT_EQ(again.Timeout(), 5u);
    unsetenv("SB_FAKE_VOLUMES");
}

TEST(BcdEditor, ProfessionalModeElementsAndDeletion) {
    testshell::ScratchDir dir;
    std::string file = WriteSampleStore(dir.path + "/BCD");
    bootice::BcdEditor editor;
    std::string error;
    ASSERT_TRUE(editor.Load(file, error)) << error;
    std::vector<bootice::BcdEditor::Element> elements = editor.Elements(bcd::kBootMgrId);
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_EQ(elements[0].name, "description");
    EXPECT_TRUE(elements[0].editable);
    EXPECT_EQ(elements[1].name, "default");
    EXPECT_FALSE(elements[1].editable);
    EXPECT_EQ(elements[2].value, std::string(kSeven) + " " + kTools);
    EXPECT_EQ(elements[3].value, "30");
    EXPECT_TRUE(editor.SetElementText(kSeven, bcd::kElemSystemRoot, "\\Win", error));
    EXPECT_FALSE(editor.SetElementText(kSeven, bcd::kElemTimeout, "3", error));
    EXPECT_FALSE(editor.DeleteEntry(bcd::kBootMgrId, error));
    EXPECT_TRUE(editor.DeleteEntry(kSeven, error)) << error;
    ASSERT_TRUE(editor.Save(error));
    ASSERT_TRUE(editor.Load(file, error));
    EXPECT_EQ(editor.AllEntries().size(), 3u);
    ASSERT_EQ(editor.MenuEntries().size(), 1u);
    EXPECT_EQ(editor.MenuEntries()[0].id, kTools);
    EXPECT_EQ(editor.Elements(bcd::kBootMgrId).size(), 3u);  // the default went with it

    // What the native build shows for the two modes.
    Capture.clear();
    EXPECT_EQ(bootice::RunEditor(bootice::EditorKind::BcdEasy, file, Print), bootice::kExitOk);
    EXPECT_EQ(Capture,
              std::string("  ") + kTools + "  Real-mode Boot Sector  Tools\r\ntimeout 30\r\n");
    Capture.clear();
    bootice::RunEditor(bootice::EditorKind::BcdProfessional, file, Print);
    EXPECT_NE(Capture.find("      timeout = 30\r\n"), std::string::npos) << Capture;
    EXPECT_NE(Capture.find(kHidden), std::string::npos);
    // A file that is not a store opens no editor.
    std::ofstream(dir.path + "/menu.lst") << "title x\n";
    Capture.clear();
    EXPECT_EQ(bootice::RunEditor(bootice::EditorKind::BcdEasy, dir.path + "/menu.lst", Print),
              bootice::kExitEditorFile);
    EXPECT_EQ(Capture.rfind("Bootice: " + dir.path + "/menu.lst is not a BCD store: ", 0), 0u);
}

TEST(MenuEditor, KeepsBytesAndLineEnds) {
    testshell::ScratchDir dir;
    const std::string gbkTitle = "\xD6\xD0\xCE\xC4";  // GBK bytes, kept as they are
    const std::string unixMenu =
        "timeout 5\ndefault 0\n\ntitle " + gbkTitle +
        " Windows\nchainloader /bootmgr\n  title   Tools  \nfind --set-root /x\n";
    const std::string path = dir.path + "/menu.lst";
    std::ofstream(path, std::ios::binary) << unixMenu;

    bootice::MenuEditor menu;
    std::string error;
    ASSERT_TRUE(menu.Load(path, error)) << error;
    EXPECT_EQ(menu.Text().find('\n'), menu.Text().find("\r\n") + 1);  // shown with \r\n
    EXPECT_EQ(menu.Titles(), (std::vector<std::string>{gbkTitle + " Windows", "Tools"}));
    std::string text = menu.Text();
    text += "title Reboot\r\nreboot\r\n";
    menu.SetText(text);
    EXPECT_TRUE(menu.changed());
    ASSERT_TRUE(menu.Save(error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved, unixMenu + "title Reboot\nreboot\n");  // the file's own line ends

    // A menu with \r\n stays that way; setting the same text is no change.
    const std::string dosMenu = "title A\r\nboot\r\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << dosMenu;
    ASSERT_TRUE(menu.Load(path, error));
    menu.SetText("title A\nboot\n");
    EXPECT_FALSE(menu.changed());
    ASSERT_TRUE(menu.Save(error));
    std::ifstream again(path, std::ios::binary);
    EXPECT_EQ(
        std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
        dosMenu);

    // grldr and boot sector files are binary: refused, untouched.
    std::ofstream(dir.path + "/grldr", std::ios::binary) << std::string("\xEB\x3E\x00\x00", 4);
    EXPECT_FALSE(menu.Load(dir.path + "/grldr", error));
    EXPECT_EQ(error, dir.path + "/grldr is not a text menu (it holds binary data)");
    EXPECT_FALSE(menu.Load(dir.path + "/missing.lst", error));
    Capture.clear();
    EXPECT_EQ(bootice::RunEditor(bootice::EditorKind::Grub4dosMenu, path, Print), bootice::kExitOk);
    EXPECT_EQ(Capture, "title A\r\n");
}

}  // namespace
