#pragma once

#include <gst/gst.h>

namespace korvane {

// Every channel's decoder runs in a thread of its own, at a lower priority than the rest of the
// viewer. When the cores are short, the decoders (which work ahead of the clock)
// wait, not the presenter that puts their pictures on screen at their time, nor the sound.
// Takes a pipeline's stream-status message, on the thread that posts it; `decoderName` names
// the elements whose streaming threads decode.
void placeDecodingThread(GstMessage *streamStatus, const char *decoderName);

} // namespace korvane
