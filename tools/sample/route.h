#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace sample {

struct Fix
{
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double speedKmh = 0;
    double course = 0; // degrees from north
};

// A drive through Seoul: south on Gangnam-daero from Sinsa to Gangnam station, then east on
// Teheran-ro to Samseong, about six kilometres, with speed changing between lights and stops.
// One fix per second from the start of the drive; after the route's end the car stands still.
std::vector<Fix> driveFixes(int seconds);

// A "$GPRMC" sentence for the fix at the given UTC time, checksum and CR LF included.
std::string rmcSentence(const Fix &fix, std::chrono::sys_seconds utc);

} // namespace sample
