#include "playback/snapshot.h"

#include "base/applog.h"
#include "base/background.h"
#include "playback/framegrab.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPointer>

#include <chrono>
#include <optional>

namespace korvane {

namespace {

constexpr int jpegQuality = 90;

// What the worker thread hands back: the file written, or why none was.
struct Written
{
    QString path;
    std::optional<SnapshotError> error;
};

Written failed(SnapshotError::Kind kind, const QString &description)
{
    return {{}, SnapshotError(kind, description)};
}

// Creates the snapshot file under a name of this instant; a name already taken (two snapshots
// within the same microsecond, or a file left from before) gets the next instant's name.
Written writeSnapshot(const QString &folder, const QString &recordingName, int channel,
                      const QImage &image)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto now = std::chrono::system_clock::now();
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(micros / 1000);
        const QString path = QDir(folder).filePath(
            snapshotFileName(recordingName, channel, local, static_cast<int>(micros % 1000000)));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFile::exists(path))
                continue;
            return failed(SnapshotError::Kind::writeFailed,
                          path + QStringLiteral(": ") + file.errorString());
        }
        QImageWriter writer(&file, "jpeg");
        writer.setQuality(jpegQuality);
        if (!writer.write(image) || !file.flush()) {
            const bool device = writer.error() == QImageWriter::DeviceError;
            const QString reason = device ? file.errorString() : writer.errorString();
            file.remove();
            return failed(device ? SnapshotError::Kind::writeFailed
                                 : SnapshotError::Kind::cgImageFailed,
                          path + QStringLiteral(": ") + reason);
        }
        return {path, std::nullopt};
    }
    return failed(SnapshotError::Kind::writeFailed, QStringLiteral("no free file name"));
}

} // namespace

SnapshotError::SnapshotError(Kind kind, const QString &description)
    : std::runtime_error(description.toStdString()), m_kind(kind)
{
}

QString snapshotFileName(const QString &recordingName, int channel, const QDateTime &now,
                         int microseconds)
{
    return QStringLiteral("Capture_") + recordingName + QLatin1Char('_') +
           now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QLatin1Char('-') +
           QStringLiteral("%1").arg(microseconds, 6, 10, QLatin1Char('0')) + QStringLiteral("-ch") +
           QString::number(channel) + QStringLiteral(".jpg");
}

QCoro::Task<QString> saveVideoSnapshot(ChannelPlayer *player, QString recordingName, int channel,
                                       QUrl folder)
{
    if (!player || !player->hasCurrentItem())
        throw SnapshotError(SnapshotError::Kind::noCurrentItem,
                            QStringLiteral("the channel has no recording"));
    const QString path = player->filePath();
    const int track = player->channel();
    const double time = player->currentFrameTime().value_or(0);

    QCoro::Task<QImage> decoding =
        inBackground([path, track, time] { return grabFrame(path, track, time); });
    const QImage image = co_await decoding;
    if (image.isNull())
        throw SnapshotError(
            SnapshotError::Kind::cgImageFailed,
            QStringLiteral("no picture at %1 s of channel %2").arg(time).arg(channel));
    QCoro::Task<Written> writing =
        inBackground([folder = folder.toLocalFile(), recordingName, channel, image] {
            return writeSnapshot(folder, recordingName, channel, image);
        });
    const Written written = co_await writing;
    if (written.error)
        throw *written.error;
    co_return written.path;
}

QCoro::Task<QStringList> saveChannelSnapshots(QList<ChannelPlayer *> players, QString recordingName,
                                              QUrl folder)
{
    QList<QPointer<ChannelPlayer>> channels(players.begin(), players.end());
    QStringList written;
    for (qsizetype i = 0; i < channels.size(); ++i) {
        try {
            QCoro::Task<QString> saving =
                saveVideoSnapshot(channels[i], recordingName, static_cast<int>(i + 1), folder);
            written.append(co_await saving);
        } catch (const SnapshotError &error) {
            appLog(logWindow,
                   "[PlayButtonBar] Failed to save snapshot:", QString::fromUtf8(error.what()));
        }
    }
    co_return written;
}

} // namespace korvane
