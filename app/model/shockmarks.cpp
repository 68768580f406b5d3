#include "model/shockmarks.h"

#include "base/userdefaults.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace korvane {

double shockThreshold()
{
    return UserSettings::shockThreshold();
}

QList<double> findShocks(const QList<GSensorInfo> &samples, double threshold)
{
    std::vector<std::pair<double, double>> placed; // time, magnitude
    for (const GSensorInfo &sample : samples) {
        if (!sample.elapse)
            continue;
        const double x = sample.accel.x, y = sample.accel.y, z = sample.accel.z;
        placed.emplace_back(*sample.elapse, std::sqrt(x * x + y * y + z * z));
    }
    if (placed.empty())
        return {};
    std::vector<double> magnitudes;
    magnitudes.reserve(placed.size());
    for (const auto &[time, magnitude] : placed)
        magnitudes.push_back(magnitude);
    const auto middle = magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 2);
    std::nth_element(magnitudes.begin(), middle, magnitudes.end());
    const double rest = *middle;

    QList<double> shocks;
    double lastKnock = -shockMergeSpan;
    for (const auto &[time, magnitude] : placed) {
        if (std::abs(magnitude - rest) <= threshold)
            continue;
        if (shocks.isEmpty() || time - lastKnock >= shockMergeSpan)
            shocks.append(time);
        lastKnock = time;
    }
    return shocks;
}

} // namespace korvane
