// durnix against debugfs on the same card image in the same run: copying a ~200 MB recording
// out of the card, and listing a folder of 2000 recordings; and durnix's copy against cp copying
// the same bytes from memory.
#include "benchsupport.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using bench::median;
using bench::run;
constexpr int rounds = 5;
constexpr int folderSize = 2000;
const std::string offset = "104857600";

// The card: the metadata benchmark's ~200 MB recording in mov/normal, 2000 small ones in mov/event.
std::string cardImage(const fs::path &folder)
{
    return bench::keptCardImage(folder, [](const fs::path &tree) {
        fs::create_directories(tree / "mov" / "normal");
        std::fprintf(stderr, "bench-durnix: writing a ~200 MB recording and a card image...\n");
        run({DASHCAM_SAMPLE_PATH, "--channels", "2", "--ch1", "1920x1080@30", "--ch2",
             "1280x720@30", "--seconds", "45", "--crf", "14", "--unfinished",
             (tree / "mov" / "normal" / "N_20241005_143012.mov").string()},
            false);
        bench::fillWithRecordings(tree / "mov" / "event", "E_20241005_", folderSize);
    });
}

} // namespace

int main()
{
    const fs::path folder = fs::path(BENCH_DATA_DIR);
    fs::create_directories(folder);
    const std::string image = cardImage(folder);
    const std::string card = image + "?offset=" + offset;
    const std::string recording = "mov/normal/N_20241005_143012.mov";
    // Copies go to memory when the machine has a tmpfs, so that neither tool is timed on the
    // disk's write-back.
    const fs::path out = fs::is_directory("/dev/shm") ? fs::path("/dev/shm/korvane-bench-durnix")
                                                      : folder / "copies";
    fs::create_directories(out);

    std::vector<double> durnixCopy, debugfsCopy, cpCopy, durnixList, debugfsList;
    for (int round = 0; round < rounds; ++round) {
        bench::warm(image);
        sync();
        durnixCopy.push_back(
            run({DURNIX_PATH, "read", image, offset, recording, (out / "durnix.mov").string()})
                .seconds);
        sync();
        debugfsCopy.push_back(
            run({"/sbin/debugfs", "-R", "dump " + recording + " " + (out / "debugfs.mov").string(),
                 card})
                .seconds);
        sync();
        cpCopy.push_back(
            run({"cp", (out / "durnix.mov").string(), (out / "cp.mov").string()}).seconds);
        fs::remove(out / "durnix.mov");
        fs::remove(out / "debugfs.mov");
        fs::remove(out / "cp.mov");

        durnixList.push_back(run({DURNIX_PATH, "ls", image, offset, "mov/event"}).seconds);
        debugfsList.push_back(run({"/sbin/debugfs", "-R", "ls -l mov/event", card}).seconds);
    }

    std::printf("copy: durnix %.3f s, debugfs dump %.3f s, cp %.3f s; ls of %d: durnix %.3f s, "
                "debugfs %.3f s "
                "(medians of %d)\n",
                median(durnixCopy), median(debugfsCopy), median(cpCopy), folderSize,
                median(durnixList), median(debugfsList), rounds);
    fs::remove_all(out);
    bench::judge("copy ratio", bench::ratios(durnixCopy, debugfsCopy), bench::Side::atMost, 1.0);
    bench::judge("copy against cp", bench::ratios(durnixCopy, cpCopy), bench::Side::atMost, 1.2);
    bench::judge("ls ratio", bench::ratios(durnixList, debugfsList), bench::Side::atMost, 1.0);
    return 0;
}
