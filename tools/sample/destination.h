#pragma once

#include <string>

namespace sample {

// Why a new file cannot be written at `path` (its folder missing, not a folder or not writable;
// the path itself a folder or a device, which a rename into place would replace), in words for
// the user; "" when it can.
std::string fileDestinationProblem(const std::string &path);

// Why `path` cannot be, or become, a folder (something else there, or a parent missing or not
// writable); "" when it can.
std::string folderDestinationProblem(const std::string &path);

// Whether two paths name the same place, links and ".." resolved as far as they exist.
bool samePlace(const std::string &a, const std::string &b);
// Whether `path` lies inside `folder`.
bool isInside(const std::string &path, const std::string &folder);

} // namespace sample
