#pragma once

#include <string>

namespace sample {

struct CardOptions
{
    std::string image;  // the card image to write
    std::string volume; // a folder standing in for the card's FAT volume; none when empty
    std::string from;   // a card tree to put on the ext4 side instead of the generated one
    int channels = 2;   // the cameras the dashcam's settings name
    double seconds = 3; // length of each generated recording
    // Also two trips of consecutive recordings on another day: the first of three continuous
    // recordings (the last one unfinished) with an event recording inside its second, then a
    // pause of half an hour, then two continuous recordings.
    bool trips = false;
};

// A dashcam card image: an MBR with a FAT partition in the first 100 MiB and an ext4 file system
// at byte 104857600 holding cfg/bbox.ini, cfg/bbox.cfg, the mov/flist* lists and recordings in
// all five type folders. No root rights are needed.
void writeCardImage(const CardOptions &options);

// The generated card tree (cfg/, mov/) in `folder`.
void writeCardTree(const CardOptions &options, const std::string &folder);

} // namespace sample
