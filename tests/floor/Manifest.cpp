#include "floor/Manifest.h"

#include <utility>

namespace manifest {
namespace {

constexpr const char* kAsmV1 = "urn:schemas-microsoft-com:asm.v1";
constexpr const char* kAsmV3 = "urn:schemas-microsoft-com:asm.v3";
constexpr const char* kWindowsSettings2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsSpace(s[b])) ++b;
    while (e > b && IsSpace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

class Reader {
public:
    Reader(const std::string& xml, std::vector<Element>& out, std::string& error)
        : x_(xml), out_(out), error_(error) {}

    bool Read() {
        out_.clear();
        if (x_.compare(0, 3, "\xEF\xBB\xBF") == 0) i_ = 3;
        bool rootClosed = false;
        while (i_ < x_.size()) {
            if (x_[i_] != '<') {
                const size_t end = x_.find('<', i_);
                const std::string text = x_.substr(i_, end == std::string::npos ? std::string::npos : end - i_);
                if (open_.empty()) {
                    if (!Trimmed(text).empty()) return Fail("text outside the root element");
                } else {
                    out_[open_.back()].text += text;
                }
                i_ = end == std::string::npos ? x_.size() : end;
            } else if (Starts("<!--")) {
                if (!SkipPast("-->")) return Fail("a comment that never ends");
            } else if (Starts("<?")) {
                if (!SkipPast("?>")) return Fail("a processing instruction that never ends");
            } else if (Starts("<!")) {
                return Fail("a DTD or CDATA section");
            } else if (Starts("</")) {
                i_ += 2;
                const std::string name = Name();
                SkipSpace();
                if (!Take('>')) return Fail("a damaged end tag");
                if (open_.empty() || name != qualified_.back()) return Fail("</" + name + "> closes nothing open");
                Close();
                rootClosed = open_.empty();
            } else {
                if (rootClosed) return Fail("a second root element");
                if (!StartTag()) return false;
                rootClosed = open_.empty();
            }
        }
        if (!open_.empty()) return Fail("<" + qualified_.back() + "> is never closed");
        if (out_.empty()) return Fail("no element");
        return true;
    }

private:
    using Scope = std::vector<std::pair<std::string, std::string>>;  // prefix ("" by default), namespace

    bool Fail(const std::string& why) {
        error_ = why;
        return false;
    }
    bool Starts(const char* s) const { return x_.compare(i_, std::char_traits<char>::length(s), s) == 0; }
    bool SkipPast(const char* s) {
        const size_t end = x_.find(s, i_);
        if (end == std::string::npos) return false;
        i_ = end + std::char_traits<char>::length(s);
        return true;
    }
    void SkipSpace() {
        while (i_ < x_.size() && IsSpace(x_[i_])) ++i_;
    }
    bool Take(char c) {
        if (i_ >= x_.size() || x_[i_] != c) return false;
        ++i_;
        return true;
    }
    std::string Name() {
        const size_t b = i_;
        while (i_ < x_.size() && !IsSpace(x_[i_]) && x_[i_] != '/' && x_[i_] != '>' && x_[i_] != '=') ++i_;
        return x_.substr(b, i_ - b);
    }

    bool StartTag() {
        ++i_;  // '<'
        const std::string qname = Name();
        if (qname.empty()) return Fail("an element without a name");
        Scope scope;
        bool empty = false;
        for (;;) {
            SkipSpace();
            if (Take('>')) break;
            if (Take('/')) {
                if (!Take('>')) return Fail("a damaged tag <" + qname + ">");
                empty = true;
                break;
            }
            const std::string attribute = Name();
            SkipSpace();
            if (attribute.empty() || !Take('=')) return Fail("a damaged attribute in <" + qname + ">");
            SkipSpace();
            if (i_ >= x_.size() || (x_[i_] != '"' && x_[i_] != '\'')) return Fail("an attribute without quotes");
            const size_t end = x_.find(x_[i_], i_ + 1);
            if (end == std::string::npos) return Fail("an attribute value that never ends");
            const std::string value = x_.substr(i_ + 1, end - i_ - 1);
            i_ = end + 1;
            if (attribute == "xmlns") scope.emplace_back("", value);
            else if (attribute.compare(0, 6, "xmlns:") == 0) scope.emplace_back(attribute.substr(6), value);
        }
        scopes_.push_back(std::move(scope));
        Element e;
        const size_t colon = qname.find(':');
        const std::string prefix = colon == std::string::npos ? "" : qname.substr(0, colon);
        e.name = colon == std::string::npos ? qname : qname.substr(colon + 1);
        if (!Resolve(prefix, e.ns)) return Fail("the prefix of <" + qname + "> is not declared");
        e.parent = open_.empty() ? -1 : open_.back();
        out_.push_back(std::move(e));
        open_.push_back(static_cast<int>(out_.size()) - 1);
        qualified_.push_back(qname);
        if (empty) Close();
        return true;
    }

    // The innermost declaration of Prefix; without one, only the default has a value (none).
    bool Resolve(const std::string& prefix, std::string& ns) const {
        for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope)
            for (const auto& [p, uri] : *scope)
                if (p == prefix) {
                    ns = uri;
                    return true;
                }
        ns.clear();
        return prefix.empty();
    }

    void Close() {
        open_.pop_back();
        qualified_.pop_back();
        scopes_.pop_back();
    }

    const std::string& x_;
    std::vector<Element>& out_;
    std::string& error_;
    size_t i_ = 0;
    std::vector<int> open_;
    std::vector<std::string> qualified_;
    std::vector<Scope> scopes_;
};

bool Is(const std::vector<Element>& all, int index, const char* ns, const char* name) {
    return index >= 0 && all[index].ns == ns && all[index].name == name;
}

}  // namespace

bool ReadElements(const std::string& xml, std::vector<Element>& elements, std::string& error) {
    error.clear();
    return Reader(xml, elements, error).Read();
}

std::vector<std::string> DpiAwareProblems(const std::string& xml) {
    std::vector<Element> all;
    std::string error;
    if (!ReadElements(xml, all, error)) return {"the manifest is not well-formed: " + error};
    std::vector<std::string> problems;
    if (!Is(all, 0, kAsmV1, "assembly")) problems.push_back("the root is not asm.v1's <assembly>");
    bool placed = false, misplaced = false;
    std::string elsewhere;
    for (const Element& e : all) {
        if (e.parent == 0 && e.ns == kAsmV1 && e.name == "application")
            problems.push_back("<application> in asm.v1's namespace: Windows XP refuses to start the program");
        if (e.name == "trustInfo" || e.name == "requestedExecutionLevel")
            problems.push_back("<" + e.name + ">: a requested execution level switches off file virtualization");
        if (e.name != "dpiAware") continue;
        const int settings = e.parent, application = settings >= 0 ? all[settings].parent : -1;
        if (e.ns != kWindowsSettings2005 || !Is(all, settings, kAsmV3, "windowsSettings") ||
            !Is(all, application, kAsmV3, "application") || all[application].parent != 0) {
            misplaced = true;
            elsewhere = e.ns;
            continue;
        }
        placed = true;
        const std::string value = Trimmed(e.text);
        if (Lower(value) != "true") problems.push_back("dpiAware is \"" + value + "\", not true");
    }
    if (!placed)
        problems.push_back(!misplaced ? "no dpiAware element"
                                      : "dpiAware in namespace \"" + elsewhere +
                                            "\" or outside asm.v3's <application><windowsSettings>: "
                                            "Windows reads none there");
    return problems;
}

}  // namespace manifest
