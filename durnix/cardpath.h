#pragma once

#include <optional>
#include <string>
#include <vector>

namespace durnix {

// The parts of a path on the card: relative, separated by '/', with no empty, "." or ".." part,
// so that a path given on the command line can only name something below the file system root.
std::optional<std::vector<std::string>> card_path_parts(const std::string &path);

// A name as one field of an `ls` line: blanks, tabs, line breaks and backslashes become octal
// escapes (\040, \011, \012, \134), every other byte stays as it is.
std::string escaped_name(const std::string &name);

} // namespace durnix
