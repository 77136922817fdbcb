// Command-line splitting and the argument grammar.
#include "FuzzInput.h"
#include "environment/StrUtils.h"
#include "startup/ArgGrammar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> args = SplitCommandLine(line);
    size_t bytes = 0;
    for (const std::string& a : args) {
        FUZZ_CHECK(a.find('"') == std::string::npos);  // quotes group and are removed
        bytes += a.size();
    }
    FUZZ_CHECK(bytes <= line.size());
    const CommandLineValues v = ParseArguments(args);
    // Each value comes from one argument.
    auto fromArgs = [&](const std::string& s) {
        if (s.empty()) return true;
        for (const std::string& a : args)
            if (a.find(s) != std::string::npos) return true;
        return false;
    };
    FUZZ_CHECK(fromArgs(v.runPath) && fromArgs(v.cwSpec) && fromArgs(v.exePath));
    FUZZ_CHECK(v.runPath.find('/') == std::string::npos);
    // Split at the first "=" that is not the second byte of a double-byte character.
    FUZZ_CHECK(MbcsPos("=", v.exePath) == 0);
    return 0;
}
