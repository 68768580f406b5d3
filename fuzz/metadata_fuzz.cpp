// The metadata frame scan and the frame decoder on arbitrary bytes: no crash, no read past the
// data, and the one-pass scan always agrees with the plain one-tag-at-a-time search.
#include "records/metadataextraction.h"
#include "referencescan.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    if (korvane::scanMediaRecords(bytes) != korvane::test::referenceScan(bytes)) {
        std::fprintf(stderr, "the one-pass scan disagrees with the plain search\n");
        std::abort();
    }

    if (!bytes.isEmpty()) {
        static const char *const tags[] = {"DAT", "GPS", "SHO"};
        const char *tag = tags[static_cast<unsigned char>(bytes[0]) % 3];
        korvane::decodeFrame(tag, bytes.sliced(1));
    }
    return 0;
}
