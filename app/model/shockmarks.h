#pragma once

#include "records/mediarecords.h"

#include <QList>

namespace korvane {

// How far the G-sensor's magnitude must jump from the recording's rest level to count as a shock,
// in the sensor's own units: the key "shockThreshold" of the user's defaults. The registered
// default sits between the road's bumps (within a few units of rest) and a knock that makes a
// dashcam keep an event (a jump of a hundred and more).
double shockThreshold();

// Knocks closer together than this are one shock.
constexpr double shockMergeSpan = 2.0;
// A click on a shock's mark plays from this long before it, to show what led to it.
constexpr double shockLeadIn = 5.0;

// The moments of the recording's shocks on the player's time axis, ascending: where the magnitude
// sqrt(x² + y² + z²) of a placed sample differs from the median of all samples' magnitudes (the
// sensor at rest, whatever way up the dashcam hangs) by more than `threshold`. A shock is the first
// such sample; any within `shockMergeSpan` of the one before belongs to it. Samples without a
// place on the time axis are not looked at.
QList<double> findShocks(const QList<GSensorInfo> &samples, double threshold);

} // namespace korvane
