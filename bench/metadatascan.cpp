// Metadata extraction over a ~200 MB recording in the page cache, against the cheapest full read
// of the same bytes: one memchr pass over a fresh mapping of the file.
#include "benchsupport.h"
#include "records/metadataextraction.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rounds = 7;

QString benchRecording()
{
    const QString folder = QStringLiteral(BENCH_DATA_DIR);
    const QString path = folder + QStringLiteral("/N_20241005_143012.mov");
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(folder);
    std::fprintf(stderr, "bench-metadata-scan: writing a ~200 MB two-camera recording...\n");
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(QStringLiteral(DASHCAM_SAMPLE_PATH),
                    {"--channels", "2", "--ch1", "1920x1080@30", "--ch2", "1280x720@30",
                     "--seconds", "45", "--crf", "14", "--unfinished", path});
    if (!generator.waitForFinished(-1) || generator.exitCode() != 0) {
        std::fprintf(stderr, "bench-metadata-scan: dashcam-sample failed\n");
        std::exit(1);
    }
    return path;
}

// The rarest byte value of the file: memchr then runs nearly uninterrupted, as fast as it can.
unsigned char rarestByte(const QByteArray &data)
{
    std::array<size_t, 256> counts{};
    for (const char c : data)
        ++counts[static_cast<unsigned char>(c)];
    return static_cast<unsigned char>(std::min_element(counts.begin(), counts.end()) -
                                      counts.begin());
}

size_t memchrPass(const QString &path, unsigned char byte)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY);
    const off_t size = lseek(fd, 0, SEEK_END);
    void *mapped = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    const char *p = static_cast<const char *>(mapped);
    const char *end = p + size;
    size_t hits = 0;
    while ((p = static_cast<const char *>(std::memchr(p, byte, static_cast<size_t>(end - p))))) {
        ++hits;
        ++p;
    }
    munmap(mapped, static_cast<size_t>(size));
    close(fd);
    return hits;
}

using bench::median;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = benchRecording();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray warm = file.readAll(); // brings the file into the page cache
    const unsigned char byte = rarestByte(warm);
    const double megabytes = static_cast<double>(warm.size()) / 1e6;

    std::vector<double> baseline, extraction;
    size_t hits = 0;
    qsizetype records = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        hits += memchrPass(path, byte);
        baseline.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);

        timer.restart();
        records += korvane::extractMediaRecords(path).size();
        extraction.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }

    const double base = median(baseline), scan = median(extraction);
    std::printf("file %.0f MB, %lld records, byte 0x%02x seen %zu times\n", megabytes,
                static_cast<long long>(records / rounds), byte, hits / rounds);
    std::printf("memchr pass %.1f ms, extraction %.1f ms (medians of %d)\n", base * 1e3, scan * 1e3,
                rounds);
    std::printf("%.0f MB/s\n", megabytes / scan);
    bench::judge("scan ratio", bench::ratios(extraction, baseline), bench::Side::atMost, 2.0);
    return 0;
}
