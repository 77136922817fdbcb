#include "environment/FileCopy.h"

#include <windows.h>

#include "environment/Handles.h"
#include "environment/OsVersion.h"
#include "environment/StrUtils.h"

#if !defined(_WIN64)
static_assert(SECURITY_DESCRIPTOR_MIN_LENGTH == 20, "the absolute descriptor of 32-bit Windows");
#endif

bool CopyFileOpen(const std::string& source, const std::string& dest, bool failIfExists) {
    if (!CopyFileA(source.c_str(), dest.c_str(), failIfExists ? TRUE : FALSE)) return false;
    // The copy is what the caller asked for; opening it up is a courtesy that may fail.
    try {
        GrantEveryoneAccess(dest);
    } catch (...) {
    }
    return true;
}

void GrantEveryoneAccess(const std::string& fileName) {
    // The Windows 9x family keeps no file security at all.
    if (!SameTextAscii(GetOsFamily(), "WINNT")) return;
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;

    UniqueLocal block(LocalAlloc(LMEM_ZEROINIT, SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (!block) return;
    const auto descriptor = static_cast<PSECURITY_DESCRIPTOR>(block.get());
    if (!InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION)) return;
    // A present but null DACL grants every user full access.
    if (!SetSecurityDescriptorDacl(descriptor, TRUE, nullptr, FALSE)) return;
    SetFileSecurityA(fileName.c_str(), DACL_SECURITY_INFORMATION, descriptor);
}
