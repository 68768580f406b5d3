#include "services/playablefile.h"

#include "base/applog.h"
#include "card/workingfolder.h"
#include "records/filelistitem.h"
#include "records/mp4tracks.h"

#include <QCoreApplication>
#include <QUrl>

namespace korvane {

namespace {
const char *const recoveringMessage =
    QT_TRANSLATE_NOOP("korvane::PlayableFile", "영상을 복구 중입니다. 잠시만 기다려주세요.");
} // namespace

QCoro::Task<PlayableFile>
makePlayable(const Conversions &conversions, OpenFiles files, QString name, QString where,
             std::function<void(const std::optional<QString> &)> rebuilding)
{
    PlayableFile playable{true, files.temp, 0};
    bool rebuild = isUnfinishedRecording(name);
    if (!rebuild) {
        const std::optional<QString> complaint =
            co_await conversions.remuxVideo(files.local, files.temp);
        if (complaint) {
            appLog(logModel, "[AppViewModel] select " + where + " -> " + *complaint);
            rebuild = true;
        }
    }
    if (rebuild) {
        rebuilding(QCoreApplication::translate("korvane::PlayableFile", recoveringMessage));
        playable.ok = co_await rebuildWithSound(conversions, files.local, files.temp);
        rebuilding(std::nullopt);
    }
    playable.audio = trackCount(files.temp, TrackKind::audio);
    if (playable.audio > 0) {
        co_await conversions.convertAudio(files.temp, files.playing);
        if (WorkingFolder::fileSize(files.playing, false) != 0)
            playable.path = files.playing;
    } else {
        appLog(logModel, "[AppViewModel] select " + name + " -> has no audio.");
    }
    co_return playable;
}

int trackCount(const QString &path, TrackKind kind)
{
    const std::optional<TrackCounts> counts = korvane::trackCounts(path);
    if (!counts) {
        appLog(logModel, QStringLiteral("[AppViewModel] %1 failure: no movie index in ")
                                 .arg(kind == TrackKind::audio ? QStringLiteral("getAudioCount")
                                                               : QStringLiteral("getVideoCount")) +
                             path);
        return 0;
    }
    return kind == TrackKind::audio ? counts->audio : counts->video;
}

QCoro::Task<bool> rebuildWithSound(const Conversions &conversions, QString source,
                                   QString destination)
{
    const bool ok = co_await conversions.recoverVideo(source, destination);
    const QString sound = withExtension(destination, QStringLiteral(".mp3"));
    if (!ok || WorkingFolder::fileSize(sound, false) == 0)
        co_return ok;

    const QString merged = withExtension(destination, QStringLiteral(".mkv"));
    const QString step2 = withNameSuffix(destination, QStringLiteral("2"));
    const QString step3 = withNameSuffix(destination, QStringLiteral("3"));
    WorkingFolder::deleteDirectory(merged);
    co_await conversions.mergeAudio(destination, sound, merged);
    WorkingFolder::deleteDirectory(sound);
    if (WorkingFolder::fileSize(merged, false) != 0) {
        co_await WorkingFolder::renameFile(merged, step2);
        co_await conversions.convertAudio(step2, step3);
        WorkingFolder::deleteDirectory(step2);
        if (WorkingFolder::fileSize(step3, false) != 0)
            co_await WorkingFolder::renameFile(step3, destination);
    }
    co_return ok;
}

} // namespace korvane
