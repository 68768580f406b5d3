#pragma once

#include "options.h"

#include <string>

namespace sample {

// Writes the recording that `options` describe to `path`, whole or not at all. Throws
// std::runtime_error when ffmpeg fails or the result would not be what a dashcam writes.
void writeRecording(const SampleOptions &options, const std::string &path);

} // namespace sample
