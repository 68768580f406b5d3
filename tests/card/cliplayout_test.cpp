// Where the cameras go in a one-picture clip, for the camera sets dashcams have and odd ones:
// inside the picture, apart, their own shape, even-sized, and no wider than a browser shows.
#include "card/cliplayout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace korvane {
namespace {

bool overlap(const PictureRegion &a, const PictureRegion &b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

TEST(EvidenceLayout, EveryCameraInsideApartInItsOwnShapeAndEven)
{
    const QList<QList<PictureSize>> sets{
        {{1920, 1080}, {1280, 720}},
        {{3840, 2160}, {1920, 1080}, {640, 480}},
        {{1366, 768}, {720, 480}, {1280, 720}, {640, 360}, {1920, 1080}},
        {{1280, 720}, {160, 120}},
        {{720, 480}, {1920, 1080}, {4000, 100}, {90, 1600}, {2, 2}},
    };
    for (const ClipLayout layout : {ClipLayout::grid, ClipLayout::pip}) {
        for (const QList<PictureSize> &cameras : sets) {
            for (const bool caption : {false, true}) {
                const Composition shown = composeCameras(layout, cameras, caption);
                const std::string what = clipLayoutName(layout).toStdString() + " of " +
                                         std::to_string(cameras.size()) +
                                         (caption ? " with caption" : "");
                EXPECT_LE(shown.width, composedWidthLimit) << what;
                EXPECT_EQ(shown.width % 2, 0) << what;
                EXPECT_EQ(shown.height % 2, 0) << what;
                ASSERT_EQ(shown.cameras.size(), cameras.size()) << what;
                const int picturesBottom = caption ? shown.caption.y : shown.height;
                if (caption) {
                    EXPECT_GE(shown.caption.height, 28) << what;
                    EXPECT_EQ(shown.caption.y + shown.caption.height, shown.height) << what;
                }
                for (qsizetype c = 0; c < cameras.size(); ++c) {
                    const PictureRegion &r = shown.cameras[c];
                    const std::string which = what + ", camera " + std::to_string(c + 1);
                    EXPECT_GE(r.x, 0) << which;
                    EXPECT_GE(r.y, 0) << which;
                    EXPECT_LE(r.x + r.width, shown.width) << which;
                    EXPECT_LE(r.y + r.height, picturesBottom) << which;
                    for (const int side : {r.x, r.y, r.width, r.height})
                        EXPECT_EQ(side % 2, 0) << which;
                    // Its shape, within what rounding to even sides allows.
                    const double wanted = static_cast<double>(cameras[c].width) / cameras[c].height;
                    const double got = static_cast<double>(r.width) / r.height;
                    const double slack = 2.0 / r.height * wanted + 2.0 / r.height;
                    if (r.width > 8 && r.height > 8)
                        EXPECT_NEAR(got, wanted, slack + 0.01 * wanted) << which;
                    // Grid cells never overlap; insets lie on the first camera, never on each
                    // other.
                    for (qsizetype o = (layout == ClipLayout::pip ? 1 : 0); o < c; ++o)
                        EXPECT_FALSE(overlap(r, shown.cameras[o]))
                            << which << " and camera " << o + 1;
                }
            }
        }
    }
}

TEST(EvidenceLayout, GridsAreTwoSideBySideTwoByTwoAndThreeOverTwo)
{
    const PictureSize hd{1920, 1080};
    const auto rows = [](const Composition &shown) {
        QList<int> tops;
        for (const PictureRegion &r : shown.cameras)
            tops.append(r.y);
        return tops;
    };
    EXPECT_EQ(rows(composeCameras(ClipLayout::grid, {hd, hd}, false)), (QList<int>{0, 0}));
    EXPECT_EQ(rows(composeCameras(ClipLayout::grid, {hd, hd, hd, hd}, false)),
              (QList<int>{0, 0, 540, 540}));
    const Composition five = composeCameras(ClipLayout::grid, {hd, hd, hd, hd, hd}, false);
    EXPECT_EQ(rows(five), (QList<int>{0, 0, 0, 360, 360}));
    // The short row in the middle.
    EXPECT_EQ(five.cameras[3].x, 320);
    EXPECT_EQ(five.cameras[4].x + five.cameras[4].width, 1600);
    // Small cameras are not blown up past the largest one.
    EXPECT_EQ(composeCameras(ClipLayout::grid, {{640, 360}, {640, 360}}, false).width, 1280);
}

} // namespace
} // namespace korvane
