// What the manifest check reads of a program's manifest: its elements with their namespaces
// resolved, and whether they declare system dpi awareness as every Windows reads it.
#pragma once
#include <string>
#include <vector>

namespace manifest {

struct Element {
    std::string ns, name;  // namespace and local name
    std::string text;      // the characters directly inside it, as written
    int parent = -1;       // index of the enclosing element; -1 for the root
};

// The elements in document order; false with the reason in Error when Xml is not well-formed as
// far as a manifest needs it (elements, attributes, comments and processing instructions, but no
// DTD and no CDATA section).
bool ReadElements(const std::string& xml, std::vector<Element>& elements, std::string& error);

// Each reason why Xml does not declare system dpi awareness (dpiAware true, in the namespace of
// 2005's window settings, inside asm.v3's application and windowsSettings), or declares something
// that harms: an application element in asm.v1's namespace, which Windows XP refuses to start, or
// a trustInfo, whose requestedExecutionLevel switches off file virtualization. None when it does.
std::vector<std::string> DpiAwareProblems(const std::string& xml);

}  // namespace manifest
