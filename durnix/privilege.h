#pragma once

namespace durnix {

// True when durnix runs with rights its caller does not have (set-user-ID or set-group-ID).
bool running_elevated();

// A program with elevated rights started with standard input, output or error closed would
// hand those numbers to the next files it opens: they are pointed at /dev/null first.
void ensure_standard_descriptors();

// Gives up the elevated rights for good: supplementary groups, then group, then user; checked,
// and the process ends rather than go on with rights it should not have.
void drop_privileges();

} // namespace durnix
