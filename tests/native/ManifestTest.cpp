// The manifest check: what declares system dpi awareness for every Windows, and the mistakes
// that look like it but do not, or that keep Windows XP from starting the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "floor/Manifest.h"

namespace {

std::string Assembly(const std::string& inside, const std::string& attributes = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"" +
           attributes + ">\r\n  <assemblyIdentity type=\"win32\" name=\"TorvaMan\" version=\"1.0.0.0\"/>\r\n" + inside +
           "\r\n</assembly>\r\n";
}

std::string Settings(const std::string& dpiAware) {
    return "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>" + dpiAware +
           "</windowsSettings></application>";
}

const char* const kTrue = "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>";

}  // namespace

TEST(Manifest, DpiAwarenessAsEveryWindowsReadsIt) {
    struct Case {
        const char* what;
        std::string xml;
        const char* problem;  // a part of the first problem; none when it declares it
    };
    const Case cases[] = {
        {"the program's own form", Assembly(Settings(kTrue)), nullptr},
        {"Microsoft's sample form, with prefixes",
         Assembly("<asmv3:application><asmv3:windowsSettings "
                  "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                  "<dpiAware> True </dpiAware></asmv3:windowsSettings></asmv3:application>",
                  " xmlns:asmv3=\"urn:schemas-microsoft-com:asm.v3\""),
         nullptr},
        {"with comments", Assembly("<!-- dpi <b> -->" + Settings(kTrue)), nullptr},
        {"https: the namespace of the sample's misprint",
         Assembly(Settings("<dpiAware xmlns=\"https://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"
                           "</dpiAware>")),
         "Windows reads none there"},
        {"application in asm.v1's namespace",
         Assembly("<application><windowsSettings>" + std::string(kTrue) + "</windowsSettings></application>"),
         "Windows XP refuses"},
        {"false", Assembly(Settings("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                                    "false</dpiAware>")),
         "not true"},
        {"per monitor", Assembly(Settings("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                                          "true/pm</dpiAware>")),
         "not true"},
        {"outside windowsSettings",
         Assembly("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">" + std::string(kTrue) + "</application>"),
         "Windows reads none there"},
        {"only in a comment", Assembly("<!-- " + Settings(kTrue) + " -->"), "no dpiAware"},
        {"none", Assembly(""), "no dpiAware"},
        {"a requested execution level",
         Assembly(Settings(kTrue) +
                  "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
                  "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"
                  "</requestedPrivileges></security></trustInfo>"),
         "file virtualization"},
        {"an element left open", Assembly("<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), "not well-formed"},
        {"an undeclared prefix", Assembly("<v3:application/>" + Settings(kTrue)), "not well-formed"},
        {"another root", Settings(kTrue), "root"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> problems = manifest::DpiAwareProblems(c.xml);
        if (!c.problem) {
            EXPECT_TRUE(problems.empty()) << c.what << ": " << problems.front();
            continue;
        }
        ASSERT_FALSE(problems.empty()) << c.what;
        EXPECT_NE(std::string::npos, problems.front().find(c.problem)) << c.what << ": " << problems.front();
    }
}
