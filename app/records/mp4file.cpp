#include "records/mp4file.h"

namespace korvane {

mp4::box_reader mp4FileBoxes(QFile &file)
{
    return mp4::box_reader(file.size(), [&file](quint64 at, std::span<std::uint8_t> into) {
        if (!file.seek(static_cast<qint64>(at)))
            return std::size_t{0};
        const qint64 got =
            file.read(reinterpret_cast<char *>(into.data()), static_cast<qint64>(into.size()));
        return got > 0 ? static_cast<std::size_t>(got) : std::size_t{0};
    });
}

} // namespace korvane
