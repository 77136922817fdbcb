#include "environment/StrUtils.h"

#include <cstdlib>
#include <cstring>
#include <limits>

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByteAt(const std::string& s, int index) {
    if (s.empty() || index <= 0 || static_cast<size_t>(index) > s.size()) return false;
    bool prevLead = false, trail = false;
    for (int i = 0; i < index; ++i) {
        if (prevLead) {
            trail = true;
            prevLead = false;
        } else {
            trail = false;
            prevLead = IsLeadByte(static_cast<unsigned char>(s[i]));
        }
    }
    return trail;
}

int MbcsPos(const std::string& sub, const std::string& s) {
    if (sub.empty() || s.empty() || sub.size() > s.size()) return 0;
    // One forward walk: the first match that does not start on a trail byte.
    // Restarting the classification after a skipped trail byte, as a re-search
    // of the rest would, gives the same states, so this is the same answer.
    bool prevLead = false;
    const size_t last = s.size() - sub.size();
    for (size_t i = 0; i <= last; ++i) {
        const bool trail = prevLead;
        prevLead = !trail && IsLeadByte(static_cast<unsigned char>(s[i]));
        if (!trail && s.compare(i, sub.size(), sub) == 0) return static_cast<int>(i + 1);
    }
    return 0;
}

namespace {
// Next delimiter at or after Start (1-based), 0 when none.
size_t NextDelimiter(const std::string& s, size_t start, const std::string& delimiter) {
    if (start > s.size()) return 0;
    const int q = MbcsPos(delimiter, s.substr(start - 1));
    return q == 0 ? 0 : start + q - 1;
}
}  // namespace

std::string GetToken(const std::string& s, int n, const std::string& delimiter) {
    size_t start = 1;
    for (int i = 1; i < n; ++i) {
        const size_t p = NextDelimiter(s, start, delimiter);
        if (p == 0) return std::string();
        start = p + 1;
    }
    const size_t p = NextDelimiter(s, start, delimiter);
    if (p == 0) return start <= s.size() ? s.substr(start - 1) : std::string();
    if (p == start) return std::string();
    return s.substr(start - 1, p - start);
}

std::string Unquote(const std::string& s) {
    if (!s.empty() && s.front() == '"' && s.back() == '"') {
        return s.size() == 1 ? std::string() : s.substr(1, s.size() - 2);
    }
    return s;
}

int32_t VersionToInt(const std::string& s) {
    std::string t = GetToken(Unquote(s), 1, ".");
    bool negative = false;
    size_t i = 0;
    if (!t.empty() && t[0] == '-') {
        negative = true;
        i = 1;
    }
    int64_t value = 0;
    bool any = false;
    const int64_t limit = negative ? int64_t(std::numeric_limits<int32_t>::max()) + 1
                                   : std::numeric_limits<int32_t>::max();
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c < '0' || c > '9') continue;
        if (!any && c == '0') continue;
        any = true;
        value = value * 10 + (c - '0');
        if (value > limit) return 0;
    }
    if (!any) return 0;
    return static_cast<int32_t>(negative ? -value : value);
}

double VersionToFloat(const std::string& s) {
    const std::string t = Unquote(s);
    const int32_t whole = VersionToInt(GetToken(t, 1, "."));
    const std::string fraction = GetToken(t, 2, ".");
    if (fraction.empty()) return whole;
    std::string digits;
    for (char c : fraction)
        if (c >= '0' && c <= '9') digits += c;
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (digits.empty()) return whole;
    // Rounded as a decimal conversion rounds whole.digits: an integer below 2^53 and a power of
    // ten are both exact doubles, so one division rounds once. Digits that would take the integer
    // past that (beyond the fifteenth or so; no version has them) are dropped. The library's
    // converter would add 16 KB to the program for this.
    constexpr uint64_t kExact = uint64_t{1} << 53;
    uint64_t magnitude = static_cast<uint64_t>(whole < 0 ? -int64_t{whole} : int64_t{whole});
    double scale = 1;
    for (char c : digits) {
        if (magnitude >= kExact / 10) break;
        magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
        scale *= 10;
    }
    const double value = static_cast<double>(magnitude) / scale;
    return whole < 0 ? -value : value;
}

std::string AddTrailingBackslash(const std::string& s) {
    if (s.empty()) return s;
    if (s.back() != '\\') return s + "\\";
    if (s.size() == 1) return s;
    if (IsTrailByteAt(s, static_cast<int>(s.size()))) return s + "\\";
    return s;
}

std::string StripTrailingBackslash(const std::string& s) {
    if (s.size() >= 4 && s.back() == '\\' && !IsTrailByteAt(s, static_cast<int>(s.size())))
        return s.substr(0, s.size() - 1);
    return s;
}

namespace {
// Folds ASCII letters that are not bytes of a double-byte character.
std::string FoldAscii(const std::string& s, bool upper) {
    std::string r = s;
    bool prevLead = false;
    for (char& c : r) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (prevLead) {
            prevLead = false;
            continue;
        }
        prevLead = IsLeadByte(b);
        if (upper && b >= 'a' && b <= 'z') c = static_cast<char>(b - 32);
        if (!upper && b >= 'A' && b <= 'Z') c = static_cast<char>(b + 32);
    }
    return r;
}
}  // namespace

std::string UpperAscii(const std::string& s) { return FoldAscii(s, true); }
std::string LowerAscii(const std::string& s) { return FoldAscii(s, false); }

bool SameTextAscii(const std::string& a, const std::string& b) {
    return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

bool ContainsNoCase(const std::string& haystack, const std::string& needle) {
    return UpperAscii(haystack).find(UpperAscii(needle)) != std::string::npos;
}

bool IsPathWithin(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.empty()) return false;
    // Ended alike, so "C:\Users\a" never takes in "C:\Users\al". The backslash added is a real one,
    // and bytes that agree up to it read as the same characters, so it ends a folder name in both.
    const std::string p = UpperAscii(AddTrailingBackslash(path));
    const std::string f = UpperAscii(AddTrailingBackslash(folder));
    return p.compare(0, f.size(), f) == 0;
}

size_t LastDelimiter(const std::string& s, const char* delimiters) {
    size_t last = 0;
    bool prevLead = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (prevLead) {
            prevLead = false;
            continue;
        }
        prevLead = IsLeadByte(b);
        if (b != 0 && std::strchr(delimiters, b)) last = i + 1;
    }
    return last;
}

std::string ExtractFileName(const std::string& path) { return path.substr(LastDelimiter(path, "\\:/")); }

std::string ExtractFileExt(const std::string& path) {
    const std::string name = ExtractFileName(path);
    // A period is never a trail byte, so the last one in the name part is the real one.
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}
