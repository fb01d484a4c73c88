// Natively the editors have no window: Bootice lists what the editor would show, which
// is how the native tests and a person at a terminal see a store or a menu.
#include "engines/bootice/bcd_editor.h"
#include "engines/bootice/bootice_cli.h"
#include "engines/bootice/menu_editor.h"

namespace bootice {

int RunEditor(EditorKind kind, const std::string& file, void (*print)(const std::string& utf8)) {
    std::string error, text;
    if (kind == EditorKind::Grub4dosMenu) {
        MenuEditor menu;
        if (!menu.Load(file, error)) {
            print("Bootice: " + error + "\r\n");
            return kExitEditorFile;
        }
        for (const std::string& title : menu.Titles()) text += "title " + title + "\r\n";
        print(text);
        return kExitOk;
    }
    BcdEditor editor;
    if (!editor.Load(file, error)) {
        print("Bootice: " + error + "\r\n");
        return kExitEditorFile;
    }
    bool easy = kind == EditorKind::BcdEasy;
    for (const BcdEditor::Entry& e : easy ? editor.MenuEntries() : editor.AllEntries()) {
        text += (e.isDefault ? "* " : "  ") + e.id + "  " + e.kind + "  " + e.description + "\r\n";
        if (!easy)
            for (const BcdEditor::Element& element : editor.Elements(e.id))
                text += "      " + element.name + " = " + element.value + "\r\n";
    }
    text += "timeout " + std::to_string(editor.Timeout()) + "\r\n";
    print(text);
    return kExitOk;
}

}  // namespace bootice
