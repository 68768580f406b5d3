#include "playback/playercheck.h"

#include "playback/channelplayer.h"
#include "playback/multitrackplayer.h"

#include <QUrl>

namespace korvane {

QCoro::Task<std::optional<QString>> playerProblem(QString path)
{
    // Every picture handed over at once, the sound nowhere: only whether it shows matters.
    MultiTrackPlayer player(PlaybackOutput{false, "fakesink"});
    if (const std::optional<QString> failure =
            co_await loadFailure(player, QUrl::fromLocalFile(path)))
        co_return failure;
    if (player.videoPlayers().isEmpty())
        co_return QStringLiteral("it holds no picture");
    for (const ChannelPlayer *channel : player.videoPlayers()) {
        if (!channel->hasCurrentItem() || !channel->currentFrameTime())
            co_return QStringLiteral("Korvane's player cannot show its camera %1")
                .arg(channel->channel() + 1);
    }
    co_return std::nullopt;
}

} // namespace korvane
