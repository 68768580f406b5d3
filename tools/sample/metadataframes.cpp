#include "metadataframes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace sample {

std::string metadataRecord(std::string_view tag, std::string_view payload)
{
    if (tag.size() != 3 || payload.size() > 999)
        throw std::invalid_argument("metadata record too long");
    char length[8];
    std::snprintf(length, sizeof length, "%05zu", payload.size());
    std::string record(2, '\0');
    record.append(tag).append(length).append(payload);
    return record;
}

std::string channelTableRecord(const std::vector<ChannelSpec> &channels)
{
    std::string table = "vid:[" + std::to_string(channels.size()) + "]";
    for (size_t i = 0; i < channels.size(); ++i) {
        if (i > 0)
            table += ':';
        table += std::to_string(channels[i].width) + '.' + std::to_string(channels[i].height) +
                 '.' + std::to_string(channels[i].fps);
    }
    return metadataRecord("DAT", table);
}

std::string gpsRecord(std::string_view sentence)
{
    return metadataRecord("GPS", sentence);
}

std::vector<Acceleration> gSensorSamples(int count, bool shock)
{
    // A fixed linear congruential sequence: the same recording every run.
    unsigned state = 12345;
    const auto noise = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % 7) - 3;
    };
    std::vector<Acceleration> samples;
    samples.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        samples.push_back({noise(), noise(), noise() / 2});

    if (shock) {
        static constexpr std::array<Acceleration, 6> knock{
            {{96, -61, 42}, {71, 47, -33}, {-44, -25, 18}, {22, 12, -9}, {-9, -5, 4}, {3, 2, -1}}};
        const int at = count / 2;
        for (size_t k = 0; k < knock.size() && at + static_cast<int>(k) < count; ++k)
            samples[static_cast<size_t>(at) + k] = knock[k];
    }
    return samples;
}

std::string shockRecord(const Acceleration &sample, std::chrono::sys_seconds clock)
{
    using namespace std::chrono;
    const auto day = floor<days>(clock);
    const year_month_day date(day);
    const hh_mm_ss time(clock - day);
    const auto biased = [](int value) {
        return static_cast<char>(std::clamp(value + 128, 0, 255));
    };
    // Byte 0 stays zero: the payload must not begin with a digit, or a reader that takes the
    // length with atoi would run the number on into the payload.
    std::string payload(15, '\0');
    payload[1] = biased(sample.x);
    payload[2] = biased(sample.y);
    payload[3] = biased(sample.z);
    payload[7] = static_cast<char>(static_cast<int>(date.year()) - 2000);
    payload[8] = static_cast<char>(static_cast<unsigned>(date.month()));
    payload[9] = static_cast<char>(static_cast<unsigned>(date.day()));
    payload[10] = static_cast<char>(time.hours().count());
    payload[11] = static_cast<char>(time.minutes().count());
    payload[12] = static_cast<char>(time.seconds().count());
    return metadataRecord("SHO", payload);
}

} // namespace sample
