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

// Code points that print nothing visible or change how the text around them is shown: C1
// controls, spaces other than the plain one, format characters (joiners, direction marks and
// overrides, the byte order mark, tags), separators, variation selectors, Hangul fillers,
// private use and noncharacters. A listing shows them escaped so that no name can pass for
// another or disturb the text around it.
bool is_invisible(uint32_t c)
{
    static constexpr struct
    {
        uint32_t first, last;
    } ranges[] = {{0x80, 0xa0},       {0xad, 0xad},       {0x34f, 0x34f},     {0x600, 0x605},
                  {0x61c, 0x61c},     {0x6dd, 0x6dd},     {0x70f, 0x70f},     {0x890, 0x891},
                  {0x8e2, 0x8e2},     {0x115f, 0x1160},   {0x1680, 0x1680},   {0x17b4, 0x17b5},
                  {0x180b, 0x180f},   {0x2000, 0x200f},   {0x2028, 0x202f},   {0x205f, 0x206f},
                  {0x3000, 0x3000},   {0x3164, 0x3164},   {0xe000, 0xf8ff},   {0xfdd0, 0xfdef},
                  {0xfe00, 0xfe0f},   {0xfeff, 0xfeff},   {0xffa0, 0xffa0},   {0xfff0, 0xfffb},
                  {0x110bd, 0x110bd}, {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3},
                  {0x1d173, 0x1d17a}, {0xe0000, 0xe0fff}, {0xf0000, 0x10ffff}};
    if ((c & 0xfffe) == 0xfffe)
        return true; // the noncharacters at the end of every plane
    for (const auto &range : ranges) {
        if (c >= range.first && c <= range.last)
            return true;
    }
    return false;
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
    if (path == ".")
        return std::vector<std::string>{};
    if (path.empty() || path.front() == '/')
        return std::nullopt;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t slash = path.find('/', start);
        const std::string part = unescaped(
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (part.empty() || part == "." || part == "..")
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
        if (c > 0x20 && c < 0x7f && c != '\\' && c != '/') {
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
