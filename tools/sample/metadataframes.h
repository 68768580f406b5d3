#pragma once

#include "options.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace sample {

// One metadata record as the dashcam writes it between frames: two zero bytes, the three-letter
// tag, the payload length in five decimal digits, the payload.
std::string metadataRecord(std::string_view tag, std::string_view payload);

// "DAT": the channel table, "vid:[N]W.H.F:W.H.F...".
std::string channelTableRecord(const std::vector<ChannelSpec> &channels);

// "GPS": one NMEA sentence.
std::string gpsRecord(std::string_view sentence);

struct Acceleration
{
    int x = 0;
    int y = 0;
    int z = 0;
};

// The G-sensor at 10 Hz: road noise, and with `shock` a hard knock halfway through.
std::vector<Acceleration> gSensorSamples(int count, bool shock);

// "SHO": one G-sensor sample stamped with the dashcam's clock.
std::string shockRecord(const Acceleration &sample, std::chrono::sys_seconds clock);

} // namespace sample
