// Whole-file reader and writer for profile (INI) files, used where the
// platform's profile functions are unreliable (the Windows 9x family).
// Sections and keys match without regard to ASCII case; the first of
// duplicate sections or keys wins, as with the platform's own functions.
#pragma once
#include <string>
#include <string_view>
#include <vector>

class IniFile {
public:
    static IniFile Parse(std::string_view bytes);

    // True when the key exists in the section; Value is then its text.
    bool Get(const std::string& section, const std::string& key, std::string& value) const;
    // Sets the key, creating the section and the key when missing.
    void Set(const std::string& section, const std::string& key, const std::string& value);
    // The file's text with CR LF line ends; lines not touched by Set are kept as read.
    std::string Serialize() const;

private:
    struct Line {
        std::string text;
    };
    std::vector<Line> lines_;
    bool byteOrderMark_ = false;  // kept so that a rewrite reads back the same

    // Index of the first line of the section's body (after its header), or -1.
    int FindSection(const std::string& section) const;
    int SectionEnd(int bodyStart) const;
};
