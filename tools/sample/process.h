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

// From now on an interruption (SIGINT, SIGTERM, SIGHUP) stops the running program and makes
// runProgram throw when it ends, so that scratch files are removed on the way out.
void catchInterruptions();
// The signal that interrupted the run, or 0.
int interruption();

} // namespace sample
