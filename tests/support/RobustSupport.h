// Running copies of the program to their end while answering their message boxes,
// and the one property every run must keep: a copy of the common add-in workbook.
#pragma once
#include <string>
#include <vector>

#include "support/Installation.h"

namespace ts {

struct RunResult {
    int code = -1;                   // -1: did not end in time (then killed)
    std::vector<std::string> boxes;  // caption + "|" + text of each message box, answered with OK
};

// Waits for every child to end (at most TimeoutMs in all), pressing OK on each message box they show.
std::vector<RunResult> RunToEnd(std::vector<Child*> children, DWORD timeoutMs = 60000);
RunResult RunToEnd(Child& child, DWORD timeoutMs = 60000);

// The bytes of the common add-in workbook are still in the product folder or the start-up folder.
bool AddinSurvives(const Installation& inst);

// A small deterministic generator (the seed is printed, so a failure can be run again).
class Prng {
public:
    explicit Prng(unsigned long long seed) : s_(seed ? seed : 0x9E3779B97F4A7C15ULL) {}
    unsigned long long Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<unsigned long long>(n)); }
    bool OneIn(int n) { return Below(n) == 0; }

private:
    unsigned long long s_;
};

}  // namespace ts
