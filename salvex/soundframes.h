#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace salvex {

// The length in bytes of the MPEG audio layer III frame whose 4-byte header is at `header`
// (MPEG-1, MPEG-2 or MPEG-2.5), or 0 when those bytes are no such header.
size_t mpeg_audio_frame_length(const uint8_t *header);

// Gathers a recording's sound into its side file: only whole MPEG audio frames, found by their
// headers in each run of sound bytes and all of the stream's kind (version, layer, sample rate)
// once its first frame has set it; everything else is skipped. When the first frame's header is
// FF E3 28 C4 (8 kHz mono, the dashcam's own), its start is overwritten with an empty "Info"
// frame whose flags are all zero, so that players take the length from the stream.
class sound_gatherer
{
public:
    explicit sound_gatherer(std::FILE *side_file) : m_file(side_file) {}
    // False when the side file could not be written.
    bool add_run(const uint8_t *data, size_t size);

private:
    bool write(const uint8_t *frame, size_t size);

    std::FILE *m_file;
    bool m_first = true;
    uint32_t m_kind = 0; // the first frame's version, layer and sample rate bits
};

} // namespace salvex
