// The player's state through opening, playing, pausing, stopping, seeking, playing to the end and
// opening another recording, on generated recordings, every change announced.
#include "playbacktestsupport.h"
#include "samplerecordings.h"

#include <QMetaEnum>
#include <QObject>

#include <cmath>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

namespace korvane {

// Failing comparisons show the state's name.
static void PrintTo(MultiTrackPlayer::State state, std::ostream *out)
{
    *out << QMetaEnum::fromType<MultiTrackPlayer::State>().valueToKey(static_cast<int>(state));
}

namespace test {
namespace {

using State = MultiTrackPlayer::State;
using States = std::vector<State>;

// The same recordings the other player tests use: made once, kept in the build tree.
QStringList channels(int count)
{
    QStringList arguments{"--channels", QString::number(count), "--seconds", "3", "--ch1",
                          "320x240@30"};
    if (count > 1)
        arguments << "--ch2"
                  << "160x120@30";
    return arguments;
}

// Every channel shows the picture of `time` (a sought time inside a picture is its stamp).
bool everyChannelShows(const MultiTrackPlayer &player, double time)
{
    for (ChannelPlayer *channel : player.videoPlayers()) {
        const auto shown = channel->currentFrameTime();
        if (!shown || std::abs(*shown - time) > 1e-6)
            return false;
    }
    return !player.videoPlayers().isEmpty();
}

// The states a player announces, in order; and faults where isPlaying or isStopped, which the
// views read, changed without their signal, or signalled without a change, or disagree with the
// state announced.
class Announcements
{
public:
    explicit Announcements(const MultiTrackPlayer &player)
        : m_player(player), m_playing(player.isPlaying()), m_stopped(player.isStopped())
    {
        QObject::connect(&player, &MultiTrackPlayer::stateChanged, &m_context, [this] {
            const State state = m_player.state();
            m_states.push_back(state);
            if (m_player.isPlaying() != (state == State::Playing) ||
                m_player.isStopped() != (state == State::Empty || state == State::Stopped))
                m_faults << QStringLiteral("isPlaying %1, isStopped %2 in state %3")
                                .arg(m_player.isPlaying())
                                .arg(m_player.isStopped())
                                .arg(static_cast<int>(state));
        });
        QObject::connect(&player, &MultiTrackPlayer::isPlayingChanged, &m_context, [this] {
            if (std::exchange(m_playing, m_player.isPlaying()) == m_playing)
                m_faults << QStringLiteral("isPlayingChanged without a change");
        });
        QObject::connect(&player, &MultiTrackPlayer::isStoppedChanged, &m_context, [this] {
            if (std::exchange(m_stopped, m_player.isStopped()) == m_stopped)
                m_faults << QStringLiteral("isStoppedChanged without a change");
        });
    }

    // The states announced since the last call, after checking that every change of isPlaying
    // and isStopped was announced.
    States take()
    {
        EXPECT_EQ(m_playing, m_player.isPlaying()) << "isPlaying changed unannounced";
        EXPECT_EQ(m_stopped, m_player.isStopped()) << "isStopped changed unannounced";
        EXPECT_TRUE(m_faults.isEmpty()) << m_faults.join('\n').toStdString();
        m_faults.clear();
        return std::exchange(m_states, {});
    }

private:
    const MultiTrackPlayer &m_player;
    QObject m_context; // the connections end with the watch
    States m_states;
    bool m_playing;
    bool m_stopped;
    QStringList m_faults;
};

class PlayerState : public PlayerTest
{
protected:
    void playUntil(double time)
    {
        player->play();
        ASSERT_EQ(player->state(), State::Playing);
        ASSERT_TRUE(waitUntil([&] { return player->currentTime() > time; }))
            << "the clock stood at " << player->currentTime();
    }

    void playToTheEnd()
    {
        player->play();
        ASSERT_TRUE(waitUntil([&] { return player->state() == State::Ended; }))
            << "still " << player->currentTime() << " of " << player->duration();
    }
};

TEST_F(PlayerState, EmptyUntilARecordingOpensAndAgainOnceItCloses)
{
    EXPECT_EQ(player->state(), State::Empty);
    EXPECT_TRUE(player->isStopped());
    EXPECT_FALSE(player->isPlaying());
    Announcements announced(*player);
    // With nothing open, there is nothing to play, pause or step.
    player->play();
    player->pause();
    player->stepForward();
    player->stop();
    EXPECT_EQ(player->state(), State::Empty);
    EXPECT_EQ(announced.take(), States{});

    load(sampleRecording(channels(2)));
    EXPECT_EQ(player->state(), State::Stopped);
    // What the views read.
    EXPECT_EQ(player->property("state").value<State>(), State::Stopped);
    EXPECT_EQ(announced.take(), States{State::Stopped});

    playUntil(0.2);
    EXPECT_EQ(announced.take(), States{State::Playing});
    player->unload();
    EXPECT_EQ(player->state(), State::Empty);
    EXPECT_TRUE(player->videoPlayers().isEmpty());
    EXPECT_EQ(announced.take(), (States{State::Stopped, State::Empty}));
}

TEST_F(PlayerState, PlayPauseStopAndStepMoveBetweenTheirStates)
{
    load(sampleRecording(channels(2)));
    Announcements announced(*player);
    playUntil(0.3);
    player->pause();
    EXPECT_EQ(player->state(), State::Paused);
    const double pausedAt = player->currentTime();
    playUntil(pausedAt + 0.2);
    player->stop();
    EXPECT_EQ(player->state(), State::Stopped);
    EXPECT_EQ(player->currentTime(), 0);
    EXPECT_EQ(announced.take(),
              (States{State::Playing, State::Paused, State::Playing, State::Stopped}));

    // A step from the start pauses on the second picture.
    ASSERT_TRUE(waitUntil([&] { return everyChannelShows(*player, 0); }));
    player->stepForward();
    ASSERT_TRUE(waitUntil(
        [&] { return player->state() == State::Paused && everyChannelShows(*player, 1.0 / 30); }));
    EXPECT_EQ(announced.take(), States{State::Paused});
    // A step while playing pauses first.
    playUntil(0.5);
    player->stepBackward();
    EXPECT_EQ(player->state(), State::Paused);
    EXPECT_EQ(announced.take(), (States{State::Playing, State::Paused}));
}

TEST_F(PlayerState, SeeksWhilePausedStayPaused)
{
    load(sampleRecording(channels(2)));
    playUntil(0.2);
    player->pause();
    Announcements announced(*player);
    player->seek(0.5);
    EXPECT_EQ(player->state(), State::Paused);
    ASSERT_TRUE(waitUntil([&] { return everyChannelShows(*player, 1.5); }));
    player->skip(-1);
    EXPECT_EQ(player->state(), State::Paused);
    ASSERT_TRUE(waitUntil([&] { return everyChannelShows(*player, 0.5); }));
    // A new pace and a picture control change take hold with seeks to where the player stands.
    player->setRate(2.0);
    player->setBrightness(0.7);
    EXPECT_EQ(player->state(), State::Paused);
    player->seek(0.25);
    ASSERT_TRUE(waitUntil([&] { return everyChannelShows(*player, 0.75); }));
    EXPECT_EQ(player->state(), State::Paused);
    EXPECT_EQ(announced.take(), States{});
}

TEST_F(PlayerState, PlayedToItsEndItIsEndedAndSaysSoOnce)
{
    load(sampleRecording(channels(2)));
    Announcements announced(*player);
    int ended = 0;
    std::optional<State> stateAtEnd;
    QObject::connect(player.get(), &MultiTrackPlayer::ended, [&] {
        ++ended;
        stateAtEnd = player->state();
    });
    player->seek(0.8);
    playToTheEnd();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(stateAtEnd, State::Ended) << "whoever hears of the end sees the player Ended";
    EXPECT_EQ(player->progress(), 1.0);
    EXPECT_EQ(player->currentTime(), player->duration());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isStopped());

    // Sought back from its end, it stands Paused there, and plays to the end once more.
    player->seek(0.9);
    EXPECT_EQ(player->state(), State::Paused);
    playToTheEnd();
    EXPECT_EQ(ended, 2);
    // Played again from its end, it starts from its beginning: the end is not said again.
    playUntil(0.3);
    EXPECT_LT(player->currentTime(), 1.5);
    EXPECT_EQ(ended, 2);
    EXPECT_EQ(announced.take(), (States{State::Playing, State::Ended, State::Paused, State::Playing,
                                        State::Ended, State::Playing}));
}

TEST_F(PlayerState, AnotherRecordingOpensStoppedWhateverTheOneBeforeDid)
{
    const QString two = sampleRecording(channels(2));
    const QString one = sampleRecording(channels(1));
    load(two);
    player->setRate(2.0);
    playUntil(0.4);
    Announcements announced(*player);
    load(one);
    EXPECT_EQ(player->state(), State::Stopped);
    EXPECT_EQ(player->videoPlayers().size(), 1);
    EXPECT_EQ(player->currentTime(), 0);
    EXPECT_EQ(player->rate(), 1.0);
    EXPECT_EQ(announced.take(), States{State::Stopped});
    EXPECT_TRUE(everyChannelShows(*player, 0));

    player->seek(0.9);
    playToTheEnd();
    load(two);
    EXPECT_EQ(player->state(), State::Stopped);
    EXPECT_EQ(announced.take(), (States{State::Playing, State::Ended, State::Stopped}));

    // A file that does not open leaves the open recording playing.
    playUntil(0.2);
    QTemporaryDir folder;
    EXPECT_FALSE(QCoro::waitFor(loadError(*player, folder.filePath("missing.mp4"))).isEmpty());
    EXPECT_EQ(player->state(), State::Playing);
    EXPECT_EQ(announced.take(), States{State::Playing});
}

} // namespace
} // namespace test
} // namespace korvane
