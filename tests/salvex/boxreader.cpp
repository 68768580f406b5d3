#include "boxreader.h"

#include <set>

namespace salvex::test {

uint32_t be32(const std::vector<uint8_t> &file, size_t at)
{
    return uint32_t{file.at(at)} << 24 | uint32_t{file.at(at + 1)} << 16 |
           uint32_t{file.at(at + 2)} << 8 | file.at(at + 3);
}

uint64_t be64(const std::vector<uint8_t> &file, size_t at)
{
    return uint64_t{be32(file, at)} << 32 | be32(file, at + 4);
}

std::vector<box> children(const std::vector<uint8_t> &file, size_t from, size_t to)
{
    std::vector<box> out;
    size_t at = from;
    while (at + 8 <= to) {
        box b;
        b.offset = at;
        b.size = be32(file, at);
        b.type.assign(reinterpret_cast<const char *>(file.data() + at + 4), 4);
        if (b.size == 1) {
            b.size = be64(file, at + 8);
            b.header_size = 16;
        }
        if (b.size < b.header_size || at + b.size > to)
            break;
        out.push_back(b);
        at += b.size;
    }
    return out;
}

std::optional<box> find_box(const std::vector<uint8_t> &file, const std::string &path,
                            const std::optional<box> &within)
{
    static const std::set<std::string> containers{"moov", "trak", "mdia", "minf", "stbl", "dinf"};
    size_t from = within ? within->payload() : 0;
    size_t to = within ? within->offset + within->size : file.size();
    std::optional<box> found;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const std::string type =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const bool last = slash == std::string::npos;
        found.reset();
        for (const box &b : children(file, from, to)) {
            if (b.type == type) {
                found = b;
                break;
            }
        }
        if (!found || last)
            return found;
        if (!containers.count(type))
            return std::nullopt;
        from = found->payload();
        to = found->offset + found->size;
        start = slash + 1;
    }
    return found;
}

std::vector<box> moov_children(const std::vector<uint8_t> &file, const std::string &type)
{
    std::vector<box> out;
    const auto moov = find_box(file, "moov");
    if (!moov)
        return out;
    for (const box &b : children(file, moov->payload(), moov->offset + moov->size)) {
        if (b.type == type)
            out.push_back(b);
    }
    return out;
}

} // namespace salvex::test
