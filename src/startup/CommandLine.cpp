#include "startup/CommandLine.h"

void RunCommandLineMode(const std::vector<std::string>& /*args*/, bool /*managerRunning*/) {
    // The switching sequence is not built yet: the mode ends at once.
}
