#include "cardpath.h"

#include <cstdio>

namespace durnix {

std::optional<std::vector<std::string>> card_path_parts(const std::string &path)
{
    if (path.empty() || path.front() == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos)
            return std::nullopt;
        parts.push_back(part);
        if (slash == std::string::npos)
            return parts;
        start = slash + 1;
    }
}

std::string escaped_name(const std::string &name)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\\' || c == '\v' ||
            c == '\f') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace durnix
