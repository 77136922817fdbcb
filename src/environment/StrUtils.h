// Shift-JIS (code page 932) aware text routines. Positions are 1-based byte
// positions; a byte that is the second byte of a double-byte character is never
// taken for a delimiter or a path separator.
#pragma once
#include <cstdint>
#include <string>

// Lead bytes are fixed ranges; the running system's code page is not consulted.
bool IsLeadByte(unsigned char b);
// True when byte Index (1-based) of S is the trail byte of a double-byte character.
bool IsTrailByteAt(const std::string& s, int index);
// 1-based position of Sub in S, skipping matches that start on a trail byte; 0 when absent.
int MbcsPos(const std::string& sub, const std::string& s);
// The N-th field of S split at Delimiter (N <= 1 selects the first); empty when missing.
std::string GetToken(const std::string& s, int n, const std::string& delimiter);
std::string Unquote(const std::string& s);
int32_t VersionToInt(const std::string& s);
double VersionToFloat(const std::string& s);
std::string AddTrailingBackslash(const std::string& s);
std::string StripTrailingBackslash(const std::string& s);

// ASCII-only case folding; bytes of double-byte characters are left alone.
std::string UpperAscii(const std::string& s);
std::string LowerAscii(const std::string& s);
bool SameTextAscii(const std::string& a, const std::string& b);
// Case-insensitive (ASCII letters) containment test.
bool ContainsNoCase(const std::string& haystack, const std::string& needle);
// Path is Folder or lies below it: letters compared without regard to case (ASCII), at a folder
// boundary, with or without trailing backslashes. False for an empty Folder.
bool IsPathWithin(const std::string& path, const std::string& folder);
// 1-based position of the last byte of S that is one of Delimiters and not the second
// byte of a double-byte character; 0 when there is none.
size_t LastDelimiter(const std::string& s, const char* delimiters);
// The part of a path after its last backslash, colon or slash (double-byte aware).
std::string ExtractFileName(const std::string& path);
// The extension of the file name part with its leading period; empty when there is none.
std::string ExtractFileExt(const std::string& path);
