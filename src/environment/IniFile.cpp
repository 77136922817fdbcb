#include "environment/IniFile.h"

#include "environment/StrUtils.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// Section name of a header line, or false when the line is not a header.
bool SectionOf(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    const size_t close = t.find(']');
    name = Trim(std::string_view(t).substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// Key and value of a key=value line (blanks around both trimmed, one pair of
// enclosing double quotes removed from the value, as the platform does).
bool KeyOf(const std::string& line, std::string& key, std::string* value) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[') return false;
    const size_t eq = t.find('=');  // '=' is never a trail byte
    if (eq == std::string::npos) return false;
    key = Trim(std::string_view(t).substr(0, eq));
    if (value) {
        std::string v = Trim(std::string_view(t).substr(eq + 1));
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        *value = v;
    }
    return true;
}

// Values cannot span lines; a line break would let a value write other keys.
std::string OneLine(const std::string& s) {
    const size_t cut = s.find_first_of("\r\n");
    return cut == std::string::npos ? s : s.substr(0, cut);
}

}  // namespace

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile f;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        f.byteOrderMark_ = true;
    }
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = bytes.size();
        f.lines_.push_back({std::string(bytes.substr(pos, end - pos))});
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return f;
}

int IniFile::FindSection(const std::string& section) const {
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i)
        if (SectionOf(lines_[i].text, name) && SameTextAscii(name, section)) return static_cast<int>(i) + 1;
    return -1;
}

int IniFile::SectionEnd(int bodyStart) const {
    std::string name;
    int i = bodyStart;
    while (i < static_cast<int>(lines_.size()) && !SectionOf(lines_[i].text, name)) ++i;
    return i;
}

bool IniFile::Get(const std::string& section, const std::string& key, std::string& value) const {
    const int body = FindSection(section);
    if (body < 0) return false;
    const int end = SectionEnd(body);
    std::string k, v;
    for (int i = body; i < end; ++i)
        if (KeyOf(lines_[i].text, k, &v) && SameTextAscii(k, key)) {
            value = v;
            return true;
        }
    return false;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& rawValue) {
    std::string value = OneLine(rawValue);
    // Quote what the reader would otherwise trim or unquote, so it reads back as written.
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                           (value.size() >= 2 && value.front() == '"' && value.back() == '"')))
        value = "\"" + value + "\"";
    const std::string line = OneLine(key) + "=" + value;
    int body = FindSection(section);
    if (body < 0) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({""});
        lines_.push_back({"[" + OneLine(section) + "]"});
        lines_.push_back({line});
        return;
    }
    const int end = SectionEnd(body);
    std::string k;
    for (int i = body; i < end; ++i)
        if (KeyOf(lines_[i].text, k, nullptr) && SameTextAscii(k, key)) {
            lines_[i].text = line;
            return;
        }
    // After the section's last non-blank line, so a blank separator stays in place.
    int at = end;
    while (at > body && Trim(lines_[at - 1].text).empty()) --at;
    lines_.insert(lines_.begin() + at, {line});
}

std::string IniFile::Serialize() const {
    std::string out = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
    for (const Line& l : lines_) {
        out += l.text;
        out += "\r\n";
    }
    return out;
}
