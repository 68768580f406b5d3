#pragma once

#include <QString>
#include <QStringList>

namespace korvane::test {

// Runs dashcam-sample with `arguments` writing into `folder` and returns the recording's path.
// Fails the current test (and returns an empty path) when the generator fails.
QString generateRecording(const QString &folder, const QStringList &arguments);

// The recording that dashcam-sample writes for `arguments`, made once per build of the generator
// and kept in the build tree, so that every test process can use it without waiting for ffmpeg.
QString sampleRecording(const QStringList &arguments);

// A card image that `dashcam-sample card` writes for `arguments`, cached like sampleRecording.
QString sampleCardImage(const QStringList &arguments);

QString dashcamSamplePath();

} // namespace korvane::test
