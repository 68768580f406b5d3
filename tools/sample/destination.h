#pragma once

#include <string>

namespace sample {

// Why a new file cannot be written at `path` (its folder missing, not a folder or not writable;
// the path itself a folder), in words for the user; "" when it can.
std::string fileDestinationProblem(const std::string &path);

// Why `path` cannot be, or become, a folder (something else there, or a parent missing or not
// writable); "" when it can.
std::string folderDestinationProblem(const std::string &path);

} // namespace sample
