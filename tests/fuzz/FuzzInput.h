// Splits one fuzzer input into several texts and numbers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    // Bytes up to the next 0xFF separator (or the end).
    std::string Text() {
        std::string s;
        while (p_ < end_ && *p_ != 0xFF) s += static_cast<char>(*p_++);
        if (p_ < end_) ++p_;
        return s;
    }
    int Int(int lo, int hi) {
        if (p_ >= end_) return lo;
        return lo + *p_++ % (hi - lo + 1);
    }
    std::string Rest() {
        std::string s(reinterpret_cast<const char*>(p_), end_ - p_);
        p_ = end_;
        return s;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// A failed invariant ends the run like any other crash, with the input saved.
#define FUZZ_CHECK(cond)                                              \
    do {                                                              \
        if (!(cond)) {                                                \
            __builtin_printf("invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            abort();                                                  \
        }                                                             \
    } while (0)
