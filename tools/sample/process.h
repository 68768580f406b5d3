#pragma once

#include <string>
#include <vector>

namespace sample {

// Runs a program with the given arguments (no shell between) and waits for it. Throws
// std::runtime_error naming the command, with what it wrote to standard error, when it cannot
// start or does not exit with 0; a run that succeeds shows nothing (mke2fs warns about every
// image placed at an offset).
// `input`, when given, is a file that becomes the program's standard input. Programs from the
// system folders (/usr/sbin, /sbin) are found even when PATH leaves them out.
void runProgram(const std::vector<std::string> &args, const std::string &input = "/dev/null");

} // namespace sample
