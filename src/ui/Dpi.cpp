#include "ui/Dpi.h"

int ScaleToDpi(int value, int dpi) {
    // Product first, in 64 bits: dividing first would round twice.
    const long long product = static_cast<long long>(value) * dpi;
    const long long half = kDesignDpi / 2;
    const long long scaled = product >= 0 ? (product + half) / kDesignDpi : -((half - product) / kDesignDpi);
    return static_cast<int>(scaled);
}
