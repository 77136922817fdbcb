#include "environment/RegistryViews.h"

std::vector<unsigned long> SoftwareViewsFor(bool process64, Wow64Answer wow64) {
    // A 64-bit process runs only where there are views; a 32-bit one knows of them only from WOW64.
    if (process64) return {0, kRegistryView32};
    if (wow64 == Wow64Answer::Yes) return {0, kRegistryView64};
    return {0};
}
