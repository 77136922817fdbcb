// Help keywords and the context numbers of their topics in the product's HTML Help file.
// Nothing here touches the operating system or keeps state between calls.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The context number of Keyword in the table of the keyword group Group, 0 when that table has
// no such keyword. Group and keyword match without regard to the case of ASCII letters. A group
// outside the known ones makes the keyword its own number (see HelpTextToInt).
int32_t HelpContextOf(const std::string& keyword, const std::string& group);

// The product's help file in HelpFolder, with the separator added when the folder lacks one; an
// empty folder gives the bare file name.
std::string ManagerHelpFilePath(const std::string& helpFolder);

// Reads a whole text as a 32-bit integer: leading spaces, an optional sign, then decimal digits or
// hexadecimal digits after "$", "x" or "0x" (up to eight, read as the integer's bit pattern).
// Anything else, no digits at all, or a value that does not fit gives 0.
int32_t HelpTextToInt(std::string_view text);

// The table one lookup builds: rows 0 to Count - 1 of two parallel arrays; rows past Count are
// left as they are and never read.
struct HelpKeywordTable {
    static constexpr int kCapacity = 500;
    int count;
    std::string_view keywords[kCapacity];
    int32_t contexts[kCapacity];
};

// Fills Table as a lookup of Keyword in Group does. For a group outside the known ones the single
// row refers to Keyword's characters, so Keyword must outlive the table.
void FillHelpKeywordTable(const std::string& group, const std::string& keyword, HelpKeywordTable& table);
