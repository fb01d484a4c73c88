// The GRUB4DOS menu editor behind Bootice's window ("/edit_g4dmenu /file=..."): a text
// editor for menu.lst. The text is kept as the file's bytes (the ANSI code page); the
// window edits it with "\r\n" line ends and saving puts back the file's own line ends.
#pragma once

#include <string>
#include <vector>

namespace bootice {

class MenuEditor {
  public:
    // False with `error` when the file is missing, too large or not text (grldr and
    // boot sector files hold binary data).
    bool Load(const std::string& path, std::string& error);
    bool Save(std::string& error);

    const std::string& Text() const { return text_; }  // "\r\n" line ends
    void SetText(const std::string& text);
    bool changed() const { return changed_; }
    const std::string& path() const { return path_; }
    // The menu's entries: what follows "title" on each title line.
    std::vector<std::string> Titles() const;

  private:
    std::string path_;
    std::string text_;
    bool unixLineEnds_ = false;
    bool changed_ = false;
};

}  // namespace bootice
