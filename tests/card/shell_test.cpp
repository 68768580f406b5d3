#include "qtprinters.h"
#include "card/shell.h"
#include "card/shellquote.h"

#include <QCoroTask>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace korvane;

namespace {

struct Result
{
    int status = -2;
    QStringList chunks;
    QString text() const { return chunks.join(QString()); }
};

Result run(const QString &command)
{
    Result result;
    result.status = QCoro::waitFor(Shell::runAsync(command, [&](const QString &chunk) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        result.chunks << chunk;
    }));
    return result;
}

} // namespace

TEST(Shell, SilentCommandGivesNoOutputAndItsStatus)
{
    const Result r = run(QStringLiteral("exit 3"));
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.chunks.isEmpty());
    EXPECT_EQ(run(QStringLiteral("true")).status, 0);
}

TEST(Shell, ErrorOutputArrivesLikeStandardOutputInWritingOrder)
{
    const Result r = run(QStringLiteral("echo one; echo two >&2; sleep 0.1; echo three"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.text(), QStringLiteral("one\ntwo\nthree\n"));
}

TEST(Shell, MissingToolIsTheShellsFailureNotAStartFailure)
{
    const Result r = run(QStringLiteral("'/nonexistent/durnix' ls /dev/sdx 104857600 cfg"));
    EXPECT_EQ(r.status, 127);
    EXPECT_TRUE(r.text().contains(QLatin1String("No such file or directory")))
        << r.text().toStdString();
}

TEST(Shell, CharacterCutByThePipeIsNotLost)
{
    const Result r = run(
        QStringLiteral("printf 'sps_id 32 \\353\\270'; sleep 0.2; printf '\\224 out of range\\n'"));
    // Usually two chunks, cut inside the character; a busy machine may hand over one. Every cut
    // position is covered by the decoder's own test.
    EXPECT_EQ(r.text(), QStringLiteral("sps_id 32 블 out of range\n"));
}

TEST(Shell, LongOutputArrivesWholeAndInOrder)
{
    QString expected;
    for (int i = 1; i <= 3000; ++i)
        expected += QStringLiteral("line %1 블랙박스\n").arg(i);
    const Result r =
        run(QStringLiteral("for i in $(seq 1 3000); do echo \"line $i 블랙박스\"; done"));
    EXPECT_EQ(r.text(), expected);
}

TEST(Shell, RunsInFlightAtOnceShareNothing)
{
    QString first, second;
    auto a = Shell::runAsync(QStringLiteral("sleep 0.2; echo first"),
                             [&](const QString &c) { first += c; });
    auto b = Shell::runAsync(QStringLiteral("echo second"), [&](const QString &c) { second += c; });
    EXPECT_EQ(QCoro::waitFor(std::move(b)), 0);
    EXPECT_EQ(QCoro::waitFor(std::move(a)), 0);
    EXPECT_EQ(first, QStringLiteral("first\n"));
    EXPECT_EQ(second, QStringLiteral("second\n"));
}

TEST(ShellQuoted, HostileCardNamesStayData)
{
    QTemporaryDir folder;
    const QStringList names{
        QStringLiteral("x'; touch owned; '.mp4"), QStringLiteral("$(touch owned).mp4"),
        QStringLiteral("`touch owned`.mp4"),      QStringLiteral("a b\\c\"d.mp4"),
        QStringLiteral("블랙박스 $HOME.mp4"),     QStringLiteral("'")};
    for (const QString &name : names) {
        const Result r = run(QStringLiteral("cd %1 && printf '%s' %2 > %2 && cat -- %2")
                                 .arg(shellQuoted(folder.path()), shellQuoted(name)));
        EXPECT_EQ(r.status, 0) << name.toStdString();
        EXPECT_EQ(r.text(), name);
        EXPECT_TRUE(QFileInfo::exists(folder.filePath(name))) << name.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("owned"))));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), names.size());
    EXPECT_EQ(shellQuoted(u"it's"), QStringLiteral("'it'\\''s'"));
}

// Work nobody waits for runs at the lowest priorities there are, and so does all it starts; the
// rest runs as the viewer does.
TEST(Shell, BackgroundWorkYieldsTheProcessorAndTheDisksToEverythingElse)
{
    const QString ask =
        QStringLiteral("chrt -p $$; ionice -p $$; sh -c 'chrt -p $$; ionice -p $$'");
    QString background;
    EXPECT_EQ(
        QCoro::waitFor(Shell::runAsync(
            ask, [&](const QString &chunk) { background += chunk; }, Shell::Priority::background)),
        0);
    const QStringList lines = background.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.filter(QStringLiteral("policy: SCHED_IDLE")).size(), 2)
        << background.toStdString();
    EXPECT_EQ(lines.count(QStringLiteral("idle")), 2) << background.toStdString();
    const QStringList normal = run(ask).text().split(QLatin1Char('\n'));
    EXPECT_EQ(normal.filter(QStringLiteral("policy: SCHED_OTHER")).size(), 2)
        << normal.join('\n').toStdString();
    EXPECT_EQ(normal.count(QStringLiteral("idle")), 0);
}
