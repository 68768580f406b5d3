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
    bool ok = true;
    bool rebuild = isUnfinishedRecording(name);
    if (!rebuild) {
        const std::optional<QString> complaint =
            co_await conversions.remuxVideo(files.local, files.temp);
        if (complaint) {
            appLog(logModel, "[AppViewModel] select " + where + " -> " + *complaint);
            rebuild = true;
        }
    }
    bool soundInAac = false;
    if (rebuild) {
        rebuilding(rebuildingMessage());
        ok = co_await conversions.recoverVideo(files.local, files.temp);
        if (ok)
            soundInAac = co_await mergeSideSound(conversions, files.temp);
        rebuilding(std::nullopt);
    }
    PlayableFile playable = co_await finishPlayable(conversions, files, name, soundInAac);
    playable.ok = ok;
    co_return playable;
}

QCoro::Task<PlayableFile> finishPlayable(const Conversions &conversions, OpenFiles files,
                                         QString name, bool soundInAac)
{
    PlayableFile playable{true, files.temp, trackCount(files.temp, TrackKind::audio)};
    if (playable.audio == 0) {
        appLog(logModel, "[AppViewModel] select " + name + " -> has no audio.");
        co_return playable;
    }
    if (soundInAac)
        co_await WorkingFolder::renameFile(files.temp, files.playing);
    else
        co_await conversions.convertAudio(files.temp, files.playing);
    if (WorkingFolder::fileSize(files.playing, false) != 0)
        playable.path = files.playing;
    co_return playable;
}

QString rebuildingMessage()
{
    return QCoreApplication::translate("korvane::PlayableFile", recoveringMessage);
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
    if (ok)
        co_await mergeSideSound(conversions, destination);
    co_return ok;
}

QString sideSoundOf(const QString &destination)
{
    return withExtension(destination, QStringLiteral(".mp3"));
}

QCoro::Task<bool> mergeSideSound(const Conversions &conversions, QString destination)
{
    const QString sound = sideSoundOf(destination);
    if (WorkingFolder::fileSize(sound, false) == 0)
        co_return false;
    const QString merged = withExtension(destination, QStringLiteral(".mkv"));
    const QString step2 = withNameSuffix(destination, QStringLiteral("2"));
    const QString step3 = withNameSuffix(destination, QStringLiteral("3"));
    WorkingFolder::deleteDirectory(merged);
    co_await conversions.mergeAudio(destination, sound, merged);
    WorkingFolder::deleteDirectory(sound);
    if (WorkingFolder::fileSize(merged, false) == 0)
        co_return false;
    co_await WorkingFolder::renameFile(merged, step2);
    co_await conversions.convertAudio(step2, step3);
    WorkingFolder::deleteDirectory(step2);
    if (WorkingFolder::fileSize(step3, false) == 0)
        co_return false;
    co_await WorkingFolder::renameFile(step3, destination);
    co_return true;
}

} // namespace korvane
