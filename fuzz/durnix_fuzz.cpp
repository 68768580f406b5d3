// durnix's file system reading on arbitrary card images: every folder it can reach is listed and
// every file copied and salvaged, through the code the program runs, with no crash, no read past a
// buffer and an end in time proportional to the image.
#include "cardfs.h"
#include "copyout.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int deepest = 4;

void walk(const durnix::card_fs &fs, std::vector<std::string> &folder, int copy)
{
    std::vector<durnix::entry> entries;
    try {
        entries = fs.list(folder, [](const std::string &) {});
    } catch (const std::runtime_error &) {
        return;
    }
    for (const durnix::entry &e : entries) {
        if (e.name == "." || e.name == "..")
            continue;
        folder.push_back(e.name);
        if (e.folder && folder.size() < deepest) {
            walk(fs, folder, copy);
        } else if (!e.folder) {
            try {
                if (ftruncate(copy, 0) == 0 && lseek(copy, 0, SEEK_SET) == 0)
                    durnix::copy_to_descriptor(fs, folder, copy);
            } catch (const std::runtime_error &) {
            }
            // Salvaging reads on past damage: every part of the map it walks must hold too.
            try {
                std::vector<durnix::lost_bytes> lost;
                if (ftruncate(copy, 0) == 0 && lseek(copy, 0, SEEK_SET) == 0)
                    durnix::salvage_to_descriptor(fs, folder, copy, lost);
            } catch (const std::runtime_error &) {
            }
        }
        folder.pop_back();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int image = memfd_create("card", MFD_CLOEXEC);
    const int copy = memfd_create("copy", MFD_CLOEXEC);
    if (image >= 0 && copy >= 0 && write(image, data, size) == static_cast<ssize_t>(size)) {
        try {
            const durnix::card_fs fs(image, 0);
            std::vector<std::string> folder;
            walk(fs, folder, copy);
        } catch (const std::runtime_error &) {
        }
    }
    close(image);
    close(copy);
    return 0;
}
