// The WIM's XML description: a small element tree, its read-out of per-image
// facts, and the indented form ImageX prints (one element per line, two blanks
// per level, so image-level TOTALBYTES is indented by four and the whole-file
// one by two).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engines/wimformat/status.h"

namespace wim {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;  // character data of a leaf element
    std::vector<std::unique_ptr<XmlElement>> children;

    XmlElement* Child(const std::string& childName) const;
    std::string ChildText(const std::string& childName) const;
    std::string Attribute(const std::string& attrName) const;
    XmlElement* AddChild(const std::string& childName, const std::string& childText = "");
};

// Parses UTF-8 XML text into its root element.
Status ParseXml(const std::string& text, std::unique_ptr<XmlElement>* root);

// Writes the element tree indented, lines ended by "\r\n".
std::string FormatXml(const XmlElement& root);

// Writes the element tree on one line, as it is stored in a WIM.
std::string FormatXmlCompact(const XmlElement& root);

// Escapes &, <, > and quotes for element text and attribute values.
std::string XmlEscape(const std::string& text);

}  // namespace wim
