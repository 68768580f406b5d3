// The window answering the keys a driver expects of it.
#include "windowtestsupport.h"

#include "playbacktestsupport.h"

namespace korvane::test {
namespace {

using Ux = WindowTest;

TEST_F(Ux, TheQuitQuestionTakesEnterForYesAndEscapeForNo)
{
    open(sample::twoChannels);
    QObject *question = window->findChild<QObject *>(QStringLiteral("quitDialog"));
    ASSERT_TRUE(question);

    window->close();
    settle();
    ASSERT_TRUE(question->property("visible").toBool());
    key(Qt::Key_Escape);
    settle();
    EXPECT_FALSE(question->property("visible").toBool()) << "Escape is the safe answer: stay";
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(model().notifications()->isAlerting());
    EXPECT_EQ(model().nowPlaying()->videoPlayers().size(), 2);

    // Escape with no question up leaves the window as it is.
    key(Qt::Key_Escape);
    settle();
    EXPECT_TRUE(window->isVisible());

    window->close();
    settle();
    ASSERT_TRUE(question->property("visible").toBool());
    key(Qt::Key_Return);
    EXPECT_TRUE(waitUntil([&] { return !window->isVisible(); })) << "Enter answers the default";
}

} // namespace
} // namespace korvane::test
