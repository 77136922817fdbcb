#include "Footprint.h"

#include <algorithm>

#include "environment/Handles.h"
#include "environment/StrUtils.h"
#include "support/TestSupport.h"

namespace fp {

// ---- the README ------------------------------------------------------------------

namespace {

std::string Utf8ToAnsi(const std::string& utf8) {
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(wide, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string ansi(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The texts between pairs of backticks, in the ANSI code page.
std::vector<std::string> InBackticks(const std::string& cell) {
    std::vector<std::string> found;
    for (size_t open = cell.find('`'); open != std::string::npos;) {
        const size_t close = cell.find('`', open + 1);
        if (close == std::string::npos) break;
        found.push_back(Utf8ToAnsi(cell.substr(open + 1, close - open - 1)));
        open = cell.find('`', close + 1);
    }
    return found;
}

// "| a | b |" -> "a", "b". No cell of the table holds a bar of its own.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    size_t start = line.find('|');
    while (start != std::string::npos) {
        const size_t end = line.find('|', start + 1);
        if (end == std::string::npos) break;
        cells.push_back(line.substr(start + 1, end - start - 1));
        start = end;
    }
    return cells;
}

}  // namespace

std::string ReadReadme() {
    char dir[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("TORVA_SOURCE_DIR", dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) return std::string();
    // A folder of the host: Wine's drive Z: is its root.
    std::string path = std::string("Z:") + dir + "/README.md";
    std::replace(path.begin(), path.end(), '/', '\\');
    return ts::ReadFileBytes(path);
}

std::vector<std::vector<Row>> TablesAfter(const std::string& text, const std::string& marker) {
    std::vector<std::vector<Row>> tables;
    const std::vector<std::string> lines = ts::SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!StartsWith(lines[i], marker)) continue;
        std::vector<Row> rows;
        // The heading and the line of dashes come first.
        for (size_t j = i + 3; j < lines.size() && StartsWith(lines[j], "|"); ++j) {
            const std::vector<std::string> cells = Cells(lines[j]);
            if (cells.size() < 2) continue;
            rows.push_back({InBackticks(cells[0]), InBackticks(cells[1])});
        }
        tables.push_back(rows);
    }
    return tables;
}

std::string BlockAfter(const std::string& text, const std::string& marker) {
    const std::vector<std::string> lines = ts::SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!StartsWith(lines[i], marker) || i + 1 >= lines.size() || !StartsWith(lines[i + 1], "```")) continue;
        std::string block;
        for (size_t j = i + 2; j < lines.size() && !StartsWith(lines[j], "```"); ++j) block += lines[j] + "\r\n";
        return Utf8ToAnsi(block);
    }
    return std::string();
}

// ---- the prefix ------------------------------------------------------------------

namespace {

ULONGLONG Ticks(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

bool IsSettingsFile(const std::string& name) {
    return name.size() > 4 && SameTextAscii(name.substr(name.size() - 4), ".ini");
}

void WalkFolder(const std::string& folder, Snapshot& s) {
    WIN32_FIND_DATAA fd;
    const UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &fd));
    if (!find) return;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        Snapshot::File f;
        f.attributes = fd.dwFileAttributes;
        f.size = (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
        f.written = Ticks(fd.ftLastWriteTime);
        if (!(f.attributes & FILE_ATTRIBUTE_DIRECTORY) && IsSettingsFile(name)) f.bytes = ts::ReadFileBytes(path);
        s.files[path] = f;
        // The user's Desktop, Documents and the like are links to the host's home folder, outside the
        // prefix; a test's own links lead back into it.
        if ((f.attributes & FILE_ATTRIBUTE_DIRECTORY) && !(f.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            WalkFolder(path, s);
    } while (FindNextFileA(find.get(), &fd));
}

void WalkKey(HKEY key, const std::string& name, const std::vector<std::string>& skipped, Snapshot& s) {
    s.keys.insert(name);
    // Sized once from the key's own figures, so that each value and subkey takes one call. Names are
    // counted in characters, and one may take two bytes in the ANSI code page.
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> valueName(2 * maxValueName + 2), child(2 * maxSubKey + 2);
    std::string data(maxData + 1, '\0');
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLen = 0, type = 0, size = 0;
        LONG rc = ERROR_MORE_DATA;
        // A value that grew since the key was asked is read again with room for it.
        for (int attempt = 0; attempt < 3 && rc == ERROR_MORE_DATA; ++attempt) {
            if (size >= data.size()) data.resize(size + 1);
            nameLen = static_cast<DWORD>(valueName.size());
            size = static_cast<DWORD>(data.size());
            rc = RegEnumValueA(key, i, valueName.data(), &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                               &size);
        }
        if (rc != ERROR_SUCCESS) continue;
        std::string stored(reinterpret_cast<const char*>(&type), sizeof type);
        stored.append(data.data(), size);
        s.values[{name, std::string(valueName.data(), nameLen)}] = stored;
    }
    std::vector<std::string> children;
    for (DWORD i = 0; i < subKeys; ++i) {
        DWORD len = static_cast<DWORD>(child.size());
        if (RegEnumKeyExA(key, i, child.data(), &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            children.emplace_back(child.data(), len);
    }
    for (const std::string& c : children) {
        if (std::any_of(skipped.begin(), skipped.end(), [&](const std::string& k) { return SameTextAscii(k, c); }))
            continue;
        UniqueHKey opened;
        if (RegOpenKeyExA(key, c.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS)
            WalkKey(opened.get(), name + "\\" + c, {}, s);
    }
}

void WalkRoot(HKEY root, const char* path, REGSAM view, const std::string& name,
              const std::vector<std::string>& skipped, Snapshot& s) {
    UniqueHKey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ | view, key.put()) == ERROR_SUCCESS) WalkKey(key.get(), name, skipped, s);
}

std::string ValueText(const std::string& stored) {
    const std::string bytes = stored.substr(sizeof(DWORD));
    return bytes.substr(0, bytes.find('\0'));
}

}  // namespace

Snapshot Take() {
    Snapshot s;
    WalkFolder("C:", s);
    // The machine's classes are walked once, as HKCR; the other view's SOFTWARE holds this view's
    // under Wow6432Node on 64-bit Windows.
    const std::vector<std::string> skipped = {"Classes", "Wow6432Node"};
    const REGSAM other = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    WalkRoot(HKEY_CURRENT_USER, "", 0, "HKCU", {}, s);
    WalkRoot(HKEY_CLASSES_ROOT, "", 0, "HKCR", {}, s);
    WalkRoot(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, "HKLM\\SOFTWARE", skipped, s);
    WalkRoot(HKEY_LOCAL_MACHINE, "SOFTWARE", other, "HKLM\\SOFTWARE (other view)", skipped, s);
    return s;
}

std::string Change::Describe() const {
    static const char* kinds[] = {"created", "changed", "deleted"};
    static const char* whats[] = {"file", "folder", "key", "value"};
    std::string text = std::string(kinds[kind]) + " " + whats[what] + " " + path;
    if (what == Value) text += " [" + (name.empty() ? std::string("(default)") : name) + "]";
    if (what == Value && kind != Deleted) text += " = " + data;
    return text;
}

std::vector<Change> Compare(const Snapshot& before, const Snapshot& after) {
    std::vector<Change> changes;
    auto add = [&](Change::Kind kind, Change::What what, const std::string& path, const std::string& name = "",
                   const std::string& data = "", const std::string& was = "", const std::string& now = "") {
        changes.push_back({kind, what, path, name, data, was, now});
    };
    auto whatOf = [](const Snapshot::File& f) {
        return (f.attributes & FILE_ATTRIBUTE_DIRECTORY) ? Change::Folder : Change::File;
    };
    for (const auto& [path, f] : after.files) {
        const auto was = before.files.find(path);
        if (was == before.files.end()) {
            add(Change::Created, whatOf(f), path, "", "", "", f.bytes);
        } else if (whatOf(f) == Change::File &&
                   (f.size != was->second.size || f.written != was->second.written || f.bytes != was->second.bytes ||
                    f.attributes != was->second.attributes)) {
            add(Change::Changed, Change::File, path, "", "", was->second.bytes, f.bytes);
        }
    }
    for (const auto& [path, f] : before.files)
        if (!after.files.count(path)) add(Change::Deleted, whatOf(f), path, "", "", f.bytes);
    for (const std::string& key : after.keys)
        if (!before.keys.count(key)) add(Change::Created, Change::Key, key);
    for (const std::string& key : before.keys)
        if (!after.keys.count(key)) add(Change::Deleted, Change::Key, key);
    for (const auto& [at, stored] : after.values) {
        const auto was = before.values.find(at);
        if (was == before.values.end() || was->second != stored)
            add(was == before.values.end() ? Change::Created : Change::Changed, Change::Value, at.first, at.second,
                ValueText(stored));
    }
    for (const auto& [at, stored] : before.values)
        if (!after.values.count(at)) add(Change::Deleted, Change::Value, at.first, at.second);
    return changes;
}

// ---- the two together ----------------------------------------------------------------

namespace {

bool IsRegistryPlace(const std::string& place) { return StartsWith(place, "HK"); }
bool IsFilePlace(const std::string& place) { return !IsRegistryPlace(place) && place.find('\\') != std::string::npos; }

// "[Section] Key" of a settings file, as the table names one.
bool IsSettingsKey(const std::string& content) { return StartsWith(content, "[") && content.find("] ") != std::string::npos; }

// "[section] key" -> value, for every key of a settings file.
std::map<std::string, std::string> SettingsKeys(const std::string& bytes) {
    std::map<std::string, std::string> keys;
    std::string section;
    for (const std::string& line : ts::SplitLines(bytes)) {
        if (StartsWith(line, "[")) {
            section = UpperAscii(line.substr(0, line.find(']') + 1));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos) keys[section + " " + UpperAscii(line.substr(0, eq))] = line.substr(eq + 1);
    }
    return keys;
}

// The keys of a settings file whose values differ between two texts.
std::vector<std::string> ChangedSettingsKeys(const std::string& before, const std::string& after) {
    const auto a = SettingsKeys(before), b = SettingsKeys(after);
    std::vector<std::string> changed;
    for (const auto& [key, value] : b)
        if (!a.count(key) || a.at(key) != value) changed.push_back(key);
    for (const auto& [key, value] : a)
        if (!b.count(key)) changed.push_back(key);
    return changed;
}

// Path is Place or a folder (key) on the way to it.
bool OnTheWayTo(const std::string& path, const std::string& place) {
    const std::string p = UpperAscii(path), q = UpperAscii(place);
    return p == q || (q.size() > p.size() && StartsWith(q, p) && q[p.size()] == '\\');
}

bool Allowed(const Change& c, const Row& row, const Bindings& bindings) {
    for (const std::string& place : row.places) {
        const bool registry = c.what == Change::Key || c.what == Change::Value;
        if (registry ? !IsRegistryPlace(place) : !IsFilePlace(place)) continue;
        for (const std::string& expanded : Expand(place, bindings)) {
            if (c.what == Change::Folder || c.what == Change::Key) {
                if (OnTheWayTo(c.path, expanded)) return true;
                continue;
            }
            if (!SameTextAscii(c.path, expanded)) continue;
            if (c.what == Change::Value) {
                // The program writes default values only, and only the data the table names.
                if (!c.name.empty()) continue;
                if (c.kind == Change::Deleted || row.contents.empty() ||
                    std::find(row.contents.begin(), row.contents.end(), c.data) != row.contents.end())
                    return true;
                continue;
            }
            // A settings file: only the keys the table names may change.
            std::vector<std::string> named;
            for (const std::string& content : row.contents)
                if (IsSettingsKey(content)) named.push_back(UpperAscii(content));
            if (named.empty()) return true;
            const std::vector<std::string> changed = ChangedSettingsKeys(c.before, c.after);
            if (std::all_of(changed.begin(), changed.end(), [&](const std::string& k) {
                    return std::find(named.begin(), named.end(), k) != named.end();
                }))
                return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::string> Expand(const std::string& place, const Bindings& bindings) {
    std::vector<std::string> done = {place};
    for (const auto& [token, values] : bindings) {
        std::vector<std::string> next;
        for (const std::string& text : done) {
            if (text.find(token) == std::string::npos) {
                next.push_back(text);
                continue;
            }
            for (const std::string& value : values) {
                std::string filled = text;
                for (size_t at = filled.find(token); at != std::string::npos; at = filled.find(token, at + value.size()))
                    filled.replace(at, token.size(), value);
                next.push_back(filled);
            }
        }
        done = next;
    }
    for (std::string& text : done) {
        char buf[2048];
        const DWORD n = ExpandEnvironmentStringsA(text.c_str(), buf, sizeof buf);
        if (n > 0 && n <= sizeof buf) text = buf;
        // Windows keeps a path turned aside under the VirtualStore without its drive.
        const std::string store = "\\VirtualStore\\";
        const size_t at = UpperAscii(text).find(UpperAscii(store));
        if (at != std::string::npos && text.size() > at + store.size() + 2 && text[at + store.size() + 1] == ':')
            text.erase(at + store.size(), 3);
    }
    return done;
}

std::vector<Change> Unlisted(const std::vector<Change>& changes, const std::vector<Row>& table,
                             const Bindings& bindings) {
    std::vector<Change> unlisted;
    for (const Change& c : changes)
        if (std::none_of(table.begin(), table.end(), [&](const Row& row) { return Allowed(c, row, bindings); }))
            unlisted.push_back(c);
    return unlisted;
}

void Undo(const Change& change) {
    if (change.kind != Change::Created) return;
    if (change.what == Change::File || change.what == Change::Folder) {
        ts::RemoveTree(change.path);
        return;
    }
    // The roots Take names; the other registry view is left alone.
    static const std::pair<const char*, HKEY> roots[] = {
        {"HKCU\\", HKEY_CURRENT_USER}, {"HKCR\\", HKEY_CLASSES_ROOT}, {"HKLM\\SOFTWARE\\", HKEY_LOCAL_MACHINE}};
    for (const auto& [prefix, root] : roots) {
        if (!StartsWith(change.path, prefix)) continue;
        std::string key = change.path.substr(std::string(prefix).size());
        if (root == HKEY_LOCAL_MACHINE) key = "SOFTWARE\\" + key;
        if (change.what == Change::Key) {
            ts::RegDeleteTree(root, key);
        } else {
            UniqueHKey k;
            if (RegOpenKeyExA(root, key.c_str(), 0, KEY_SET_VALUE, k.put()) == ERROR_SUCCESS)
                RegDeleteValueA(k.get(), change.name.empty() ? nullptr : change.name.c_str());
        }
        return;
    }
}

}  // namespace fp
