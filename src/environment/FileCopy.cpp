#include "environment/FileCopy.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "environment/CopyAccess.h"
#include "environment/Handles.h"
#include "environment/OsVersion.h"
#include "environment/ShellFolders.h"
#include "environment/StrUtils.h"

#if !defined(_WIN64)
static_assert(SECURITY_DESCRIPTOR_MIN_LENGTH == 20, "the absolute descriptor of 32-bit Windows");
#endif

namespace {

constexpr int kFileObject = 1;                                // SE_FILE_OBJECT
constexpr DWORD kUnprotectedDacl = 0x20000000;                // UNPROTECTED_DACL_SECURITY_INFORMATION
using SetNamedSecurityInfoFn = DWORD(WINAPI*)(LPSTR, int, DWORD, PSID, PSID, PACL, PACL);
using InitializeAclFn = BOOL(WINAPI*)(PACL, DWORD, DWORD);

std::vector<std::string> UsersOwnFolders() {
    return {GetShellFolder(CSIDL_PROFILE), GetShellFolder(CSIDL_APPDATA), GetShellFolder(CSIDL_LOCAL_APPDATA)};
}

// A file copied over another keeps that one's list, an open one perhaps placed by an earlier version:
// it goes back to what its folder passes on. Passing on came with Windows 2000; NT 4.0 would take the
// empty list for the whole answer and shut everybody out.
void InheritFolderAccess(const std::string& fileName) {
    const OsVersionRecord os = QueryOsVersion();
    if (!os.ok || os.platformId != VER_PLATFORM_WIN32_NT || os.major < 5) return;
    const UniqueModule advapi(LoadLibraryA("ADVAPI32.DLL"));
    const auto setNamed = LookupProc<SetNamedSecurityInfoFn>(advapi.get(), "SetNamedSecurityInfoA");
    const auto initializeAcl = LookupProc<InitializeAclFn>(advapi.get(), "InitializeAcl");
    if (!setNamed || !initializeAcl) return;
    alignas(DWORD) BYTE buffer[sizeof(ACL)];
    const auto noneOfItsOwn = reinterpret_cast<PACL>(buffer);
    if (!initializeAcl(noneOfItsOwn, sizeof buffer, ACL_REVISION)) return;
    setNamed(const_cast<LPSTR>(fileName.c_str()), kFileObject, DACL_SECURITY_INFORMATION | kUnprotectedDacl, nullptr,
             nullptr, noneOfItsOwn, nullptr);
}

}  // namespace

bool CopyFileOpen(const std::string& source, const std::string& dest, bool failIfExists) {
    if (!CopyFileA(source.c_str(), dest.c_str(), failIfExists ? TRUE : FALSE)) return false;
    // The copy is what the caller asked for; its access list is a courtesy that may fail.
    try {
        if (!SameTextAscii(GetOsFamily(), "WINNT")) return true;  // no access lists
        if (OpenToEveryone(dest, UsersOwnFolders()))
            GrantEveryoneAccess(dest);
        else
            InheritFolderAccess(dest);
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
