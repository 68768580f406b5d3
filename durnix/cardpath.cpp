#include "cardpath.h"

#include <cstdint>
#include <cstdio>

namespace durnix {

namespace {

bool is_octal(char c)
{
    return c >= '0' && c <= '7';
}

std::string unescaped(const std::string &part)
{
    std::string bytes;
    for (size_t i = 0; i < part.size(); ++i) {
        if (part[i] == '\\' && i + 3 < part.size() && part[i + 1] <= '3' && is_octal(part[i + 1]) &&
            is_octal(part[i + 2]) && is_octal(part[i + 3])) {
            bytes += static_cast<char>((part[i + 1] - '0') * 64 + (part[i + 2] - '0') * 8 +
                                       (part[i + 3] - '0'));
            i += 3;
        } else {
            bytes += part[i];
        }
    }
    return bytes;
}

// Code points that print nothing visible or change how the text around them is shown: spaces
// other than the plain one, joiners, direction marks and overrides, separators, the byte order
// mark, tags. A listing shows them escaped so that no name can pass for another.
bool is_invisible(uint32_t c)
{
    return (c >= 0x80 && c <= 0xa0) || c == 0xad || c == 0x34f || c == 0x61c || c == 0x115f ||
           c == 0x1160 || c == 0x1680 || c == 0x180e || (c >= 0x2000 && c <= 0x200f) ||
           (c >= 0x2028 && c <= 0x202f) || (c >= 0x205f && c <= 0x206f) || c == 0x3000 ||
           c == 0x3164 || c == 0xfeff || c == 0xffa0 || (c >= 0xfff9 && c <= 0xfffb) ||
           c == 0xfffe || c == 0xffff || (c >= 0xe0000 && c <= 0xe0fff);
}

// The length of the valid UTF-8 sequence at `at`, or 0; `code` receives its code point.
size_t utf8_sequence(const std::string &text, size_t at, uint32_t *code)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t value = 0;
    uint32_t lowest = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, value = lead & 0x1fu, lowest = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, value = lead & 0x0fu, lowest = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, value = lead & 0x07u, lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80)
            return 0;
        value = value << 6 | (byte(at + i) & 0x3fu);
    }
    if (value < lowest || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
        return 0;
    *code = value;
    return length;
}

void append_escape(std::string &out, unsigned char c)
{
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\%03o", c);
    out += escape;
}

} // namespace

std::optional<std::vector<std::string>> card_path_parts(const std::string &path)
{
    if (path.empty() || path.front() == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string part = unescaped(
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (part.empty() || part == "." || part == ".." ||
            part.find_first_of(std::string("/\0", 2)) != std::string::npos)
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
    for (size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c > 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t code = 0;
        const size_t length = c >= 0x80 ? utf8_sequence(name, i, &code) : 0;
        if (length > 0 && !is_invisible(code)) {
            out.append(name, i, length);
            i += length;
            continue;
        }
        const size_t escaped = length > 0 ? length : 1;
        for (size_t k = 0; k < escaped; ++k)
            append_escape(out, static_cast<unsigned char>(name[i + k]));
        i += escaped;
    }
    return out;
}

} // namespace durnix
