// Where each camera goes when a clip shows them all in one picture.
#include "card/cliplayout.h"

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// Picture sides and places are even: H.264's 4:2:0 pictures have a colour sample per 2x2.
int evenDown(double value)
{
    return std::max(0, static_cast<int>(std::floor(value / 2)) * 2);
}

int even(double value)
{
    return std::max(2, evenDown(value));
}

// `picture` scaled to fit `cell`, its shape kept, centred in it.
PictureRegion fitted(PictureSize picture, PictureRegion cell)
{
    if (picture.width <= 0 || picture.height <= 0)
        return cell;
    const double scale = std::min(static_cast<double>(cell.width) / picture.width,
                                  static_cast<double>(cell.height) / picture.height);
    PictureRegion region;
    region.width = std::min(cell.width, even(picture.width * scale));
    region.height = std::min(cell.height, even(picture.height * scale));
    region.x = cell.x + evenDown((cell.width - region.width) / 2.0);
    region.y = cell.y + evenDown((cell.height - region.height) / 2.0);
    return region;
}

// The rows of a grid: 1, 2 side by side, 2x2 for 3 and 4, three over two for 5 and more.
QList<int> gridRows(qsizetype cameras)
{
    if (cameras <= 2)
        return {static_cast<int>(cameras)};
    if (cameras <= 4)
        return {2, static_cast<int>(cameras) - 2};
    return {3, static_cast<int>(cameras) - 3};
}

int captionHeight(int picturesHeight)
{
    return even(std::max(28.0, picturesHeight / 14.0));
}

Composition grid(const QList<PictureSize> &cameras, bool caption)
{
    const QList<int> rows = gridRows(cameras.size());
    const int columns = *std::max_element(rows.cbegin(), rows.cend());
    // Every cell has the first camera's shape and the size of the largest camera, unless the
    // row would then be wider than the limit.
    const PictureSize first = cameras.first();
    int widest = 0;
    for (const PictureSize &camera : cameras)
        widest = std::max(widest, camera.width);
    const int cellWidth = even(std::min<double>(widest, composedWidthLimit / columns));
    const int cellHeight =
        even(static_cast<double>(cellWidth) * std::max(1, first.height) / std::max(1, first.width));
    Composition composition;
    composition.width = columns * cellWidth;
    int camera = 0;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        // A row short of cells sits in the middle.
        const int left = evenDown((columns - rows[row]) * cellWidth / 2.0);
        for (int cell = 0; cell < rows[row]; ++cell, ++camera)
            composition.cameras.append(fitted(cameras[camera], {left + cell * cellWidth,
                                                                static_cast<int>(row) * cellHeight,
                                                                cellWidth, cellHeight}));
    }
    const int picturesHeight = static_cast<int>(rows.size()) * cellHeight;
    composition.height = picturesHeight;
    if (caption) {
        composition.caption = {0, picturesHeight, composition.width, captionHeight(picturesHeight)};
        composition.height += composition.caption.height;
    }
    return composition;
}

Composition pictureInPicture(const QList<PictureSize> &cameras, bool caption)
{
    const PictureSize first = cameras.first();
    Composition composition;
    composition.width = even(std::min(first.width, composedWidthLimit));
    const int mainHeight =
        even(static_cast<double>(composition.width) * first.height / std::max(1, first.width));
    composition.cameras.append({0, 0, composition.width, mainHeight});
    // The others along the bottom from the right, clear of the edges and of each other: each at
    // most a quarter as wide and a third as tall as the picture, its own shape kept.
    const int insets = static_cast<int>(cameras.size()) - 1;
    const int margin = even(composition.width / 60.0);
    const double widest = std::min(composition.width / 4.0,
                                   static_cast<double>(composition.width - (insets + 1) * margin) /
                                       std::max(1, insets));
    const double tallest = mainHeight / 3.0;
    int right = composition.width - margin;
    for (qsizetype i = 1; i < cameras.size(); ++i) {
        const PictureSize camera{std::max(2, cameras[i].width), std::max(2, cameras[i].height)};
        const double scale = std::min(widest / camera.width, tallest / camera.height);
        const int width = even(camera.width * scale);
        const int height = even(camera.height * scale);
        composition.cameras.append({right - width, mainHeight - margin - height, width, height});
        right -= width + margin;
    }
    composition.height = mainHeight;
    if (caption) {
        composition.caption = {0, mainHeight, composition.width, captionHeight(mainHeight)};
        composition.height += composition.caption.height;
    }
    return composition;
}

} // namespace

std::optional<ClipLayout> clipLayoutNamed(QStringView name)
{
    for (const ClipLayout layout : {ClipLayout::tracks, ClipLayout::grid, ClipLayout::pip}) {
        if (name == clipLayoutName(layout))
            return layout;
    }
    return std::nullopt;
}

QString clipLayoutName(ClipLayout layout)
{
    switch (layout) {
    case ClipLayout::grid:
        return QStringLiteral("grid");
    case ClipLayout::pip:
        return QStringLiteral("pip");
    case ClipLayout::tracks:
        break;
    }
    return QStringLiteral("tracks");
}

Composition composeCameras(ClipLayout layout, const QList<PictureSize> &cameras, bool caption)
{
    if (cameras.isEmpty())
        return {};
    return layout == ClipLayout::pip ? pictureInPicture(cameras, caption) : grid(cameras, caption);
}

} // namespace korvane
