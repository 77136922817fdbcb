// VersionToInt and VersionToFloat.
#include <cmath>

#include "FuzzInput.h"
#include "environment/StrUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);
    const int32_t i = VersionToInt(s);
    const double f = VersionToFloat(s);
    FUZZ_CHECK(!std::isnan(f));
    // The fraction never carries the number past the next integer.
    // The whole part is the integer of the first field; the fraction never carries past the next one.
    const int32_t whole = VersionToInt(GetToken(Unquote(s), 1, "."));
    FUZZ_CHECK(std::fabs(f - whole) <= 1.0);
    // Digits are what count: inserting a non-digit byte into the first field changes nothing.
    if (!s.empty() && s.find('.') == std::string::npos && s.find('"') == std::string::npos && s[0] != '-')
        FUZZ_CHECK(VersionToInt("x" + s) == i);
    return 0;
}
