#include "startup/ArgGrammar.h"

#include "environment/StrUtils.h"

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    size_t i = 0;
    const size_t n = commandLine.size();
    bool first = true;
    while (true) {
        while (i < n && static_cast<unsigned char>(commandLine[i]) <= ' ') ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        // Trail bytes of Shift-JIS are never '"' or blanks, so bytes can be taken one by one.
        while (i < n && (quoted || static_cast<unsigned char>(commandLine[i]) > ' ')) {
            if (commandLine[i] == '"')
                quoted = !quoted;
            else
                arg += commandLine[i];
            ++i;
        }
        if (first)
            first = false;  // the program's own name
        else
            args.push_back(arg);
    }
    return args;
}

CommandLineValues ParseArguments(const std::vector<std::string>& args) {
    CommandLineValues v;
    for (const std::string& a : args) {
        if (ContainsNoCase(a, "/VRK") || ContainsNoCase(a, "/CW"))
            v.cwSpec = a;
        else if (ContainsNoCase(a, "/EXE"))
            v.exePath = GetToken(a, 2, "=");
        else if (a.find('/') == std::string::npos)
            v.runPath = a;
    }
    return v;
}
