#include "engines/wimformat/xml_info.h"

#include "engines/wimformat/utf.h"

#include <cstdlib>

namespace wim {

XmlElement* XmlElement::Child(const std::string& childName) const {
    for (auto& c : children)
        if (c->name == childName) return c.get();
    return nullptr;
}

std::string XmlElement::ChildText(const std::string& childName) const {
    XmlElement* c = Child(childName);
    return c ? c->text : std::string();
}

std::string XmlElement::Attribute(const std::string& attrName) const {
    for (auto& a : attributes)
        if (a.first == attrName) return a.second;
    return std::string();
}

XmlElement* XmlElement::AddChild(const std::string& childName, const std::string& childText) {
    children.push_back(std::make_unique<XmlElement>());
    children.back()->name = childName;
    children.back()->text = childText;
    return children.back().get();
}

namespace {

constexpr int kMaxDepth = 64;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void AppendCodePoint(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF) cp = 0xFFFD;
    AppendUtf8(out, uint32_t(cp));
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        size_t semi = s.find(';', i);
        if (semi == std::string::npos || semi - i > 12) {
            out += s[i];
            continue;
        }
        std::string ent = s.substr(i + 1, semi - i - 1);
        if (ent == "lt")
            out += '<';
        else if (ent == "gt")
            out += '>';
        else if (ent == "amp")
            out += '&';
        else if (ent == "quot")
            out += '"';
        else if (ent == "apos")
            out += '\'';
        else if (ent.size() > 1 && ent[0] == '#') {
            bool hex = ent[1] == 'x' || ent[1] == 'X';
            AppendCodePoint(out, strtoul(ent.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10));
        } else {
            out += s.substr(i, semi - i + 1);
        }
        i = semi;
    }
    return out;
}

class Parser {
  public:
    explicit Parser(const std::string& t) : t_(t) {}

    Status Document(std::unique_ptr<XmlElement>* root) {
        SkipMisc();
        if (pos_ >= t_.size() || t_[pos_] != '<') return Fail("no root element");
        auto e = std::make_unique<XmlElement>();
        Status s = Element(e.get(), 0);
        if (!s.ok()) return s;
        *root = std::move(e);
        return Status::Ok();
    }

  private:
    Status Fail(const std::string& why) { return Status(Error::kBadXml, "bad XML data: " + why); }

    // Skips blanks, the declaration, comments and processing instructions.
    void SkipMisc() {
        for (;;) {
            while (pos_ < t_.size() && (IsSpace(t_[pos_]) || t_[pos_] == '\xEF' ||
                                        t_[pos_] == '\xBB' || t_[pos_] == '\xBF'))
                ++pos_;
            if (t_.compare(pos_, 2, "<?") == 0) {
                size_t e = t_.find("?>", pos_);
                pos_ = e == std::string::npos ? t_.size() : e + 2;
            } else if (t_.compare(pos_, 4, "<!--") == 0) {
                size_t e = t_.find("-->", pos_);
                pos_ = e == std::string::npos ? t_.size() : e + 3;
            } else {
                return;
            }
        }
    }

    std::string Name() {
        size_t start = pos_;
        while (pos_ < t_.size() && !IsSpace(t_[pos_]) && t_[pos_] != '>' && t_[pos_] != '/' &&
               t_[pos_] != '=' && t_[pos_] != '<')
            ++pos_;
        return t_.substr(start, pos_ - start);
    }

    Status Element(XmlElement* e, int depth) {
        if (depth > kMaxDepth) return Fail("nested too deeply");
        ++pos_;  // '<'
        e->name = Name();
        if (e->name.empty()) return Fail("element without a name");
        for (;;) {
            while (pos_ < t_.size() && IsSpace(t_[pos_])) ++pos_;
            if (pos_ >= t_.size()) return Fail("unterminated tag");
            if (t_[pos_] == '/') {
                if (t_.compare(pos_, 2, "/>") != 0) return Fail("bad empty tag");
                pos_ += 2;
                return Status::Ok();
            }
            if (t_[pos_] == '>') {
                ++pos_;
                break;
            }
            std::string an = Name();
            if (an.empty() || pos_ >= t_.size() || t_[pos_] != '=') return Fail("bad attribute");
            ++pos_;
            if (pos_ >= t_.size() || (t_[pos_] != '"' && t_[pos_] != '\''))
                return Fail("unquoted attribute");
            char q = t_[pos_++];
            size_t end = t_.find(q, pos_);
            if (end == std::string::npos) return Fail("unterminated attribute");
            e->attributes.emplace_back(an, Unescape(t_.substr(pos_, end - pos_)));
            pos_ = end + 1;
        }
        std::string text;
        for (;;) {
            size_t lt = t_.find('<', pos_);
            if (lt == std::string::npos) return Fail("unterminated element " + e->name);
            text += t_.substr(pos_, lt - pos_);
            pos_ = lt;
            if (t_.compare(pos_, 4, "<!--") == 0) {
                size_t end = t_.find("-->", pos_);
                if (end == std::string::npos) return Fail("unterminated comment");
                pos_ = end + 3;
            } else if (t_.compare(pos_, 9, "<![CDATA[") == 0) {
                size_t end = t_.find("]]>", pos_);
                if (end == std::string::npos) return Fail("unterminated CDATA");
                text += t_.substr(pos_ + 9, end - pos_ - 9);
                pos_ = end + 3;
            } else if (t_.compare(pos_, 2, "</") == 0) {
                pos_ += 2;
                std::string closing = Name();
                while (pos_ < t_.size() && IsSpace(t_[pos_])) ++pos_;
                if (closing != e->name || pos_ >= t_.size() || t_[pos_] != '>')
                    return Fail("mismatched closing tag </" + closing + ">");
                ++pos_;
                break;
            } else if (t_.compare(pos_, 2, "<?") == 0) {
                size_t end = t_.find("?>", pos_);
                if (end == std::string::npos) return Fail("unterminated instruction");
                pos_ = end + 2;
            } else {
                auto c = std::make_unique<XmlElement>();
                Status s = Element(c.get(), depth + 1);
                if (!s.ok()) return s;
                e->children.push_back(std::move(c));
            }
        }
        if (e->children.empty()) e->text = Unescape(text);
        return Status::Ok();
    }

    const std::string& t_;
    size_t pos_ = 0;
};

void Format(const XmlElement& e, int depth, std::string& out) {
    std::string indent(size_t(depth) * 2, ' ');
    out += indent + "<" + e.name;
    for (auto& a : e.attributes) out += " " + a.first + "=\"" + XmlEscape(a.second) + "\"";
    if (e.children.empty()) {
        out += ">" + XmlEscape(e.text) + "</" + e.name + ">\r\n";
        return;
    }
    out += ">\r\n";
    for (auto& c : e.children) Format(*c, depth + 1, out);
    out += indent + "</" + e.name + ">\r\n";
}

void FormatCompact(const XmlElement& e, std::string& out) {
    out += "<" + e.name;
    for (auto& a : e.attributes) out += " " + a.first + "=\"" + XmlEscape(a.second) + "\"";
    out += ">";
    if (e.children.empty()) out += XmlEscape(e.text);
    for (auto& c : e.children) FormatCompact(*c, out);
    out += "</" + e.name + ">";
}

}  // namespace

std::string FormatXmlCompact(const XmlElement& root) {
    std::string out;
    FormatCompact(root, out);
    return out;
}

Status ParseXml(const std::string& text, std::unique_ptr<XmlElement>* root) {
    Parser p(text);
    return p.Document(root);
}

std::string FormatXml(const XmlElement& root) {
    std::string out;
    Format(root, 0, out);
    return out;
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace wim
