#pragma once

#include <string>
#include <vector>

namespace sample {

// Runs a program with the given arguments (no shell between) and waits for it. Throws
// std::runtime_error naming the command when it cannot start or does not exit with 0.
void runProgram(const std::vector<std::string> &args);

} // namespace sample
