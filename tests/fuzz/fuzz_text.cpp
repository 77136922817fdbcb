// GetToken, MbcsPos, IsTrailByteAt, Unquote, AddTrailingBackslash, StripTrailingBackslash.
#include "FuzzInput.h"
#include "environment/StrUtils.h"

namespace {
bool IsSubstring(const std::string& part, const std::string& whole) { return whole.find(part) != std::string::npos; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int n = in.Int(-2, 12);
    const std::string delim = in.Text();
    const std::string s = in.Rest();

    const std::string field = GetToken(s, n, delim);
    FUZZ_CHECK(IsSubstring(field, s));
    if (delim.size() == 1) FUZZ_CHECK(MbcsPos(delim, field) == 0);  // a field never holds its delimiter

    const int p = MbcsPos(delim, s);
    FUZZ_CHECK(p >= 0 && p <= static_cast<int>(s.size()));
    if (p > 0) {
        FUZZ_CHECK(s.compare(p - 1, delim.size(), delim) == 0);
        FUZZ_CHECK(!IsTrailByteAt(s, p));
    }
    for (int i = -1; i <= static_cast<int>(s.size()) + 1; ++i) {
        // A trail byte always follows a lead byte that is not itself a trail byte.
        if (IsTrailByteAt(s, i))
            FUZZ_CHECK(i >= 2 && IsLeadByte(static_cast<unsigned char>(s[i - 2])) && !IsTrailByteAt(s, i - 1));
    }

    const std::string u = Unquote(s);
    FUZZ_CHECK(IsSubstring(u, s) && (u.size() == s.size() || u.size() + 2 == s.size() || s == "\""));

    const std::string added = AddTrailingBackslash(s);
    // A text that ends in a lone lead byte takes the added backslash as its trail byte, so only
    // well-formed texts are stable under a second call.
    const bool danglingLead = !s.empty() && IsLeadByte(static_cast<unsigned char>(s.back())) &&
                              !IsTrailByteAt(s, static_cast<int>(s.size()));
    if (!danglingLead) FUZZ_CHECK(AddTrailingBackslash(added) == added);
    FUZZ_CHECK(added.compare(0, s.size(), s) == 0 && added.size() <= s.size() + 1);
    if (!s.empty() && !danglingLead)
        FUZZ_CHECK(added.back() == '\\' && !IsTrailByteAt(added, static_cast<int>(added.size())));

    const std::string stripped = StripTrailingBackslash(s);
    FUZZ_CHECK(s.compare(0, stripped.size(), stripped) == 0 && stripped.size() + 1 >= s.size());
    return 0;
}
