#pragma once

#include <optional>
#include <string>
#include <vector>

namespace durnix {

// The parts of a path on the card: relative, separated by '/', with no empty, "." or ".." part,
// so that a path given on the command line can only name something below the file system root;
// "." is the root itself. Each part may be written as `ls` lists it: octal escapes (\ooo) stand
// for their byte, even a slash or a zero byte that a damaged entry may hold.
std::optional<std::vector<std::string>> card_path_parts(const std::string &path);

// A name as one field of an `ls` line, and as it appears in messages: printable UTF-8 stays as
// it is; every other byte (controls, blanks, invisible and direction-changing characters,
// invalid UTF-8), the slash and the backslash become octal escapes (\ooo). Distinct names stay
// distinct, and the listed form names exactly that file when handed back to `read`.
std::string escaped_name(const std::string &name);

} // namespace durnix
