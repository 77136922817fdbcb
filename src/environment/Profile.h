// Profile (INI) access, the Windows folder, and the one place message boxes go through.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

// Callers pass MaxLength 255. True when a value was found (see the .cpp for both routes).
bool ReadProfileString(const std::string& section, const std::string& key, std::string& value,
                       const std::string& fileName, int maxLength);
bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName);

// Tests only: steps of the whole-file save (the 9x family's route) made to fail, which Wine
// carries out where Windows might not; any of these or-ed together, 0 for none.
enum ProfileSaveStep : unsigned {
    kSetOriginalAside = 1,  // the file renamed to <file>.bak~
    kPutNewInPlace = 2,     // <file>.tmp~ with the new text renamed to the file's name
    kPutOriginalBack = 4,   // after a failure, <file>.bak~ renamed back
    kDeleteSetAside = 8,    // <file>.bak~ deleted once the new text is in place
};
void SetFailingProfileSaveSteps(unsigned steps);

// The Windows folder as the platform returns it (no trailing backslash except for a root).
std::string GetWindowsFolder();
// A bare file name resolved in the Windows folder; a name with a backslash unchanged.
std::string ResolveProfilePath(const std::string& fileName);

// MessageBoxA with the flag check; every message box of the program goes through here.
int ShowMessageBox(HWND owner, const std::string& text, UINT flags, const std::string& caption);

// Tests replace the real message box (flags arrive already checked); an empty hook restores it.
using MessageBoxHook = std::function<int(HWND owner, const std::string& text, UINT flags, const std::string& caption)>;
void SetMessageBoxHook(MessageBoxHook hook);
