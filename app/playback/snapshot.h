#pragma once

#include "playback/channelplayer.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <stdexcept>

namespace korvane {

class SnapshotError : public std::runtime_error
{
public:
    enum class Kind
    {
        noCurrentItem,     // the channel has no recording open
        cgImageFailed,     // the picture could not be decoded or encoded
        folderNotSelected, // the user cancelled the folder choice
        writeFailed,       // the file could not be written
    };

    SnapshotError(Kind kind, const QString &description);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// "Capture_" + name + "_" + local date and time "yyyyMMdd_HHmmss" + "-" + microseconds "%06d" +
// "-ch" + channel + ".jpg", all of one instant.
QString snapshotFileName(const QString &recordingName, int channel, const QDateTime &now,
                         int microseconds);

// Writes the channel's picture at its current time, as the recording holds it (no picture
// controls), as a JPEG file (quality 90) into `folder`, and returns the file's path. An existing
// file is never replaced. Throws SnapshotError.
QCoro::Task<QString> saveVideoSnapshot(ChannelPlayer *player, QString recordingName, int channel,
                                       QUrl folder);

// A snapshot of every channel in order, numbered from 1; a channel that fails is logged and the
// others are still written. Returns the files written. (Arguments by value: the caller need not
// keep them while the snapshots are written.)
QCoro::Task<QStringList> saveChannelSnapshots(QList<ChannelPlayer *> players, QString recordingName,
                                              QUrl folder);

} // namespace korvane
