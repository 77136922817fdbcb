// What the program leaves on a machine: the administrators' table of the README, and what a Wine
// prefix shows before and after the program ran.
#pragma once
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fp {

// ---- the README ------------------------------------------------------------------
// README.md of the sources (tools/test names their folder in TORVA_SOURCE_DIR), as stored (UTF-8,
// parsed as such: a Shift-JIS trail byte may look like a bar or a backtick); empty when it cannot be read.
std::string ReadReadme();

// One row of the table: the texts in backticks of its first two cells, in the ANSI code page.
struct Row {
    std::vector<std::string> places, contents;
    bool operator==(const Row&) const = default;
};
// Every table whose first line follows a line that starts with Marker.
std::vector<std::vector<Row>> TablesAfter(const std::string& text, const std::string& marker);
// The fenced block that follows a line starting with Marker, without its fences, each line ended by CR LF,
// in the ANSI code page.
std::string BlockAfter(const std::string& text, const std::string& marker);

// ---- the prefix ------------------------------------------------------------------
struct Snapshot {
    struct File {
        DWORD attributes = 0;
        ULONGLONG size = 0, written = 0;
        std::string bytes;  // settings files (.ini) only
    };
    std::map<std::string, File> files;                               // every file and folder of drive C
    std::set<std::string> keys;                                      // "HKCU\...", "HKCR\...", "HKLM\SOFTWARE\..."
    std::map<std::pair<std::string, std::string>, std::string> values;  // (key, value name) -> type and bytes
};
Snapshot Take();

struct Change {
    enum Kind { Created, Changed, Deleted } kind;
    enum What { File, Folder, Key, Value } what;
    std::string path;          // of the file, folder or key
    std::string name, data;    // a value's name and, unless deleted, its text
    std::string before, after;  // a settings file's bytes
    std::string Describe() const;
};
std::vector<Change> Compare(const Snapshot& before, const Snapshot& after);

// ---- the two together ----------------------------------------------------------------
// What each placeholder of the table stands for in a run ("<Dir>" -> product folders, ...).
using Bindings = std::map<std::string, std::vector<std::string>>;
// The places of a row with placeholders and environment variables filled in; a place that keeps a
// placeholder nobody bound is returned as it is, so that it matches nothing.
std::vector<std::string> Expand(const std::string& place, const Bindings& bindings);
// The changes that no row of the table allows.
std::vector<Change> Unlisted(const std::vector<Change>& changes, const std::vector<Row>& table,
                             const Bindings& bindings);
// Takes away what a change created (a file or folder tree, a key tree, a value), so that an unlisted
// write does not stay behind and pass unseen the next time; other changes are left alone.
void Undo(const Change& change);

}  // namespace fp
