#include "route.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace sample {

namespace {

struct Point
{
    double latitude;
    double longitude;
};

constexpr std::array<Point, 7> waypoints{{
    {37.5163, 127.0203}, // Sinsa station
    {37.5110, 127.0214}, // Nonhyeon
    {37.5045, 127.0250}, // Sinnonhyeon
    {37.4979, 127.0276}, // Gangnam station
    {37.5006, 127.0364}, // Yeoksam
    {37.5045, 127.0490}, // Seolleung
    {37.5089, 127.0631}, // Samseong
}};

constexpr double earthRadiusM = 6371000.0;

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

double distanceM(Point a, Point b)
{
    const double x =
        radians(b.longitude - a.longitude) * std::cos(radians((a.latitude + b.latitude) / 2));
    const double y = radians(b.latitude - a.latitude);
    return std::hypot(x, y) * earthRadiusM;
}

double bearing(Point a, Point b)
{
    const double la = radians(a.latitude), lb = radians(b.latitude);
    const double dl = radians(b.longitude - a.longitude);
    const double y = std::sin(dl) * std::cos(lb);
    const double x = std::cos(la) * std::sin(lb) - std::sin(la) * std::cos(lb) * std::cos(dl);
    return std::fmod(std::atan2(y, x) * 180.0 / std::numbers::pi + 360.0, 360.0);
}

// Drive cycles of 45 s: pull away, cruise with some wander, brake, wait at a light.
double speedKmhAt(double t)
{
    static constexpr std::array<double, 4> cruise{50, 62, 38, 55};
    const double peak = cruise[static_cast<size_t>(t / 45) % cruise.size()];
    const double s = std::fmod(t, 45.0);
    if (s < 10)
        return peak * s / 10;
    if (s < 30)
        return peak + 6 * std::sin(2 * std::numbers::pi * (s - 10) / 20);
    if (s < 38)
        return peak * (38 - s) / 8;
    return 0;
}

Fix fixAlongRoute(double travelledM, double speedKmh)
{
    for (size_t i = 0; i + 1 < waypoints.size(); ++i) {
        const Point a = waypoints[i], b = waypoints[i + 1];
        const double leg = distanceM(a, b);
        if (travelledM <= leg || i + 2 == waypoints.size()) {
            const double f = std::min(travelledM / leg, 1.0);
            return {a.latitude + (b.latitude - a.latitude) * f,
                    a.longitude + (b.longitude - a.longitude) * f, speedKmh, bearing(a, b)};
        }
        travelledM -= leg;
    }
    return {};
}

double routeLengthM()
{
    double length = 0;
    for (size_t i = 0; i + 1 < waypoints.size(); ++i)
        length += distanceM(waypoints[i], waypoints[i + 1]);
    return length;
}

std::string nmeaCoordinate(double degrees, int degreeDigits)
{
    const double magnitude = std::fabs(degrees);
    const int whole = static_cast<int>(magnitude);
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%07.4f", degreeDigits, whole, (magnitude - whole) * 60);
    return text;
}

} // namespace

std::vector<Fix> driveFixes(int seconds)
{
    const double length = routeLengthM();
    constexpr double step = 0.1;
    std::vector<Fix> fixes;
    double travelled = 0;
    for (int second = 0; second < seconds; ++second) {
        const double speed = travelled < length ? speedKmhAt(second) : 0.0;
        fixes.push_back(fixAlongRoute(std::min(travelled, length), speed));
        for (int i = 0; i < 10; ++i)
            travelled += speedKmhAt(second + i * step) / 3.6 * step;
    }
    return fixes;
}

std::string rmcSentence(const Fix &fix, std::chrono::sys_seconds utc)
{
    const auto day = std::chrono::floor<std::chrono::days>(utc);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss time(utc - day);
    char body[128];
    std::snprintf(body, sizeof body,
                  "GPRMC,%02d%02d%02d.00,A,%s,%c,%s,%c,%.1f,%.1f,%02u%02u%02d,,,A",
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), nmeaCoordinate(fix.latitude, 2).c_str(),
                  fix.latitude < 0 ? 'S' : 'N', nmeaCoordinate(fix.longitude, 3).c_str(),
                  fix.longitude < 0 ? 'W' : 'E', fix.speedKmh / 1.852, fix.course,
                  static_cast<unsigned>(date.day()), static_cast<unsigned>(date.month()),
                  static_cast<int>(date.year()) % 100);
    unsigned char checksum = 0;
    for (const char *c = body; *c; ++c)
        checksum ^= static_cast<unsigned char>(*c);
    char sentence[160];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, checksum);
    return sentence;
}

} // namespace sample
