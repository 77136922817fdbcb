// The whole-file settings reader and writer: what is written reads back, nothing else changes.
#include "FuzzInput.h"
#include "environment/IniFile.h"
#include "environment/StrUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const std::string section = in.Text();
    const std::string key = in.Text();
    const std::string value = in.Text();
    const std::string otherKey = in.Text();
    const std::string file = in.Rest();

    IniFile ini = IniFile::Parse(file);
    std::string before;
    const bool hadOther = ini.Get(section, otherKey, before);

    ini.Set(section, key, value);
    const IniFile again = IniFile::Parse(ini.Serialize());
    // Names the format can hold: no line breaks, no "]" in a section, no "=" in a key,
    // keys that are not comments or headers, and no surrounding blanks.
    auto plain = [](const std::string& s, const char* forbidden) {
        return s.find_first_of(forbidden) == std::string::npos && (s.empty() || (s.front() != ' ' && s.front() != '\t' &&
                                                                                 s.back() != ' ' && s.back() != '\t'));
    };
    if (plain(section, "\r\n]") && plain(key, "\r\n=") && !key.empty() && key[0] != ';' && key[0] != '[' &&
        value.find_first_of("\r\n") == std::string::npos) {
        std::string got;
        FUZZ_CHECK(again.Get(section, key, got));
        FUZZ_CHECK(got == value);
        // Another key of the section keeps its value.
        std::string after;
        if (hadOther && !SameTextAscii(otherKey, key)) {
            FUZZ_CHECK(again.Get(section, otherKey, after));
            FUZZ_CHECK(after == before);
        }
    }
    // Serializing is stable once parsed.
    FUZZ_CHECK(IniFile::Parse(again.Serialize()).Serialize() == again.Serialize());
    return 0;
}
