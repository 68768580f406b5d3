#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace korvane {

// How a clip carries the cameras: each as a video track of its own (as recorded), or all of them
// composed into one picture that every player and browser shows whole.
enum class ClipLayout
{
    tracks,
    grid, // side by side (2), 2x2 (3, 4), three over two (5)
    pip   // the first camera large, the others inset along its bottom right
};

// "tracks", "grid", "pip"; none for another word.
std::optional<ClipLayout> clipLayoutNamed(QStringView name);
QString clipLayoutName(ClipLayout layout);

struct PictureSize
{
    int width = 0;
    int height = 0;
};

struct PictureRegion
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where each camera lies in a composed picture, and the band below them for the caption.
struct Composition
{
    int width = 0;
    int height = 0;
    QList<PictureRegion> cameras; // in camera order, each its own picture's shape, scaled
    PictureRegion caption;        // empty without a caption
};

// The widest a composed picture gets: what a browser or a television shows without scaling.
inline constexpr int composedWidthLimit = 1920;

// The composition of `cameras` (their picture sizes, the first camera first) in `layout` (grid or
// pip), at most `composedWidthLimit` wide: a grid's cells have the first camera's shape and the
// largest camera's width, each camera fitted into its cell with its own shape; every side and
// place even, as H.264 in 4:2:0 needs; with a band for the caption across the bottom when
// `caption`.
Composition composeCameras(ClipLayout layout, const QList<PictureSize> &cameras, bool caption);

} // namespace korvane
