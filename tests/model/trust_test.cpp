// Nothing of the user's is replaced, lost or written behind their back: downloads from cards made
// by mke2fs to want the user's files, the dashcam's settings across card loads, a card taken out
// mid-download, and a viewer that lacks one of its tools.
#include "ext4image.h"
#include "model/savefolders.h"
#include "model/settingsviewmodel.h"
#include "modeltestsupport.h"
#include "qtprinters.h"
#include "samplerecordings.h"
#include "services/workingcopy.h"
#include "testfiles.h"

#include <QCoroTask>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace korvane;
using korvane::test::CardModel;
using korvane::test::readFile;
using korvane::test::writeFile;

namespace {

const QString longName =
    QStringLiteral("N_20241005_150000_") + QString(233, QLatin1Char('x')) + QStringLiteral(".mp4");

// A card that wants the user's files: hidden names, a name with blanks (which the card's listing
// escapes), names the user's folder holds already (the longest a card can hold among them), and
// an unfinished recording beside a finished one of the same name.
class HostileCard
{
public:
    HostileCard()
    {
        const QString finished = korvane::test::sampleRecording({"--seconds", "1"});
        const QString unfinished =
            korvane::test::sampleRecording({"--seconds", "1", "--unfinished"});
        put("cfg/bbox.ini", "[bbox]\nch1_resol=3\nch2_resol=1\n");
        for (const char *type : {"park", "saved"})
            QDir().mkpath(tree() + "/mov/" + type);
        put("mov/normal/.bashrc", "echo the card was here\n");
        put("mov/normal/.profile", "echo the card was here too\n");
        put("mov/park/...", "dots");
        put("mov/normal/N_20241005_144012.mov", readFile(unfinished));
        put("mov/normal/N_20241005_144012.mp4", readFile(finished));
        put("mov/normal/" + longName, "the card's long one");
        put("mov/event/E_20241005_150102 with spaces.mp4", readFile(finished) + "event");
        put("mov/manual/블랙박스_녹화.mp4", "the card's Korean one");
        image = m_folder.filePath(QStringLiteral("hostile.img"));
        korvane::test::writeExt4Card(tree(), image);
    }

    QString tree() const { return m_folder.filePath(QStringLiteral("tree")); }
    // The card's file as it went onto the card.
    QByteArray bytes(const QString &cardPath) const { return readFile(tree() + "/" + cardPath); }

    // The user's folder before a download: files of the names the card would take.
    static void fillUsersFolder(const QString &folder)
    {
        for (const QString &name :
             {QStringLiteral(".bashrc"), QStringLiteral(".profile"), QStringLiteral("_bashrc"),
              QStringLiteral("E_20241005_150102 with spaces.mp4"),
              QStringLiteral("블랙박스_녹화.mp4"), longName})
            writeFile(QDir(folder).filePath(name), "the user's " + name.toUtf8());
    }

    QString image;

private:
    void put(const QString &cardPath, const QByteArray &bytes)
    {
        const QString path = tree() + "/" + cardPath;
        QDir().mkpath(QFileInfo(path).path());
        writeFile(path, bytes);
    }

    QTemporaryDir m_folder;
};

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// After a whole download of the hostile card into a folder `fillUsersFolder` filled: every file
// of the user's as it was, every file of the card beside them under a name of its own.
void expectSavedBesideTheUsersFiles(const HostileCard &card, const QString &folder)
{
    for (const QString &name :
         {QStringLiteral(".bashrc"), QStringLiteral(".profile"), QStringLiteral("_bashrc"),
          QStringLiteral("E_20241005_150102 with spaces.mp4"), QStringLiteral("블랙박스_녹화.mp4"),
          longName})
        EXPECT_EQ(readFile(QDir(folder).filePath(name)), "the user's " + name.toUtf8())
            << name.toStdString() << " was replaced";
    const auto saved = [&](const QString &name) { return readFile(QDir(folder).filePath(name)); };
    EXPECT_EQ(saved("_bashrc_2"), card.bytes("mov/normal/.bashrc"));
    EXPECT_EQ(saved("_profile"), card.bytes("mov/normal/.profile"));
    EXPECT_EQ(saved("_.."), card.bytes("mov/park/..."));
    EXPECT_EQ(saved("E_20241005_150102 with spaces_2.mp4"),
              card.bytes("mov/event/E_20241005_150102 with spaces.mp4"))
        << "saved under its real name, not the listing's escaped one";
    EXPECT_EQ(saved("블랙박스_녹화_2.mp4"), card.bytes("mov/manual/블랙박스_녹화.mp4"));
    EXPECT_EQ(saved(longName.left(249) + "_2.mp4"), card.bytes("mov/normal/" + longName));
    EXPECT_EQ(saved("N_20241005_144012.mov"), card.bytes("mov/normal/N_20241005_144012.mov"));
    // The card's finished recording and the one rebuilt from the unfinished one share a name:
    // both are there.
    const QByteArray first = saved("N_20241005_144012.mp4");
    const QByteArray second = saved("N_20241005_144012_2.mp4");
    const QByteArray finished = card.bytes("mov/normal/N_20241005_144012.mp4");
    EXPECT_TRUE((first == finished) != (second == finished)) << "the card's own, exactly once";
    const QString rebuilt = QDir(folder).filePath(first == finished ? "N_20241005_144012_2.mp4"
                                                                    : "N_20241005_144012.mp4");
    EXPECT_EQ(korvane::test::ffprobeStreams(rebuilt, "codec_type"),
              QStringList({"video", "video", "audio"}));
    EXPECT_EQ(filesIn(folder).size(), 15) << filesIn(folder).join(", ").toStdString();
}

// korvane-cli's environment with working and tools folders in `home`.
QProcessEnvironment withHome(const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CACHE_HOME", home.filePath("cache"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    return environment;
}

// The dashcam's folders in a card's tree: a card without them is read only in part.
void makeCardFolders(const QString &tree)
{
    for (const char *folder :
         {"cfg", "mov/normal", "mov/event", "mov/park", "mov/manual", "mov/saved"})
        QDir().mkpath(tree + "/" + folder);
}

// A recording of `size` bytes that holds data only in its first and last block: what a dashcam
// leaves of a file it preallocated.
void writeSparseRecording(const QString &path, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'r'));
    ASSERT_TRUE(file.seek(size - 4096));
    file.write(QByteArray(4096, 'e'));
}

void tickAll(AppViewModel &model)
{
    model.library()->selectTab(5);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return model.library()->filtered().size() == model.library()->recordingCount(); },
        10000));
    model.library()->checkAll(true);
}

} // namespace

TEST(TrustDownload, ACardsFilesNeverReplaceTheUsersInTheViewerOrOnTheCommandLine)
{
    HostileCard card;
    QTemporaryDir folder;
    HostileCard::fillUsersFolder(folder.path());
    {
        CardModel viewer(card.image);
        AppViewModel &model = viewer.model();
        model.library()->setIsAutoLoad(false);
        QCoro::waitFor(model.library()->reloadList());
        ASSERT_EQ(model.library()->recordingCount(), 8);
        tickAll(model);
        QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
        EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
        EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
        EXPECT_EQ(model.notifications()->savedFolder(), folder.path());
    }
    expectSavedBesideTheUsersFiles(card, folder.path());

    QTemporaryDir home, cliFolder;
    HostileCard::fillUsersFolder(cliFolder.path());
    const QProcessEnvironment environment = withHome(home);
    const korvane::test::ProgramRun save =
        korvane::test::run(QStringLiteral(TOOLS_FOLDER "/korvane-cli"),
                           {"card", "save", card.image, cliFolder.path()}, environment);
    EXPECT_EQ(save.exitCode, 0) << save.err.constData();
    expectSavedBesideTheUsersFiles(card, cliFolder.path());
    QStringList printed = QString::fromUtf8(save.out).split('\n', Qt::SkipEmptyParts);
    for (QString &path : printed)
        path = QFileInfo(path).fileName();
    printed.sort();
    QStringList made = filesIn(cliFolder.path());
    for (const QString &name :
         {QStringLiteral(".bashrc"), QStringLiteral(".profile"), QStringLiteral("_bashrc"),
          QStringLiteral("E_20241005_150102 with spaces.mp4"), QStringLiteral("블랙박스_녹화.mp4"),
          longName})
        made.removeOne(name);
    made.sort();
    EXPECT_EQ(printed, made) << "every file saved is printed where it went";
}

TEST(TrustDownload, WorkingFilesAndForeignFilesNeverPassForTheCardsCopies)
{
    QTemporaryDir tree;
    const QString twoCameras = korvane::test::sampleRecording({"--seconds", "1"});
    const QString threeCameras =
        korvane::test::sampleRecording({"--seconds", "1", "--channels", "3"});
    const QString finishedLookingUnfinished =
        korvane::test::sampleRecording({"--seconds", "1", "--time", "20241005_150500"});
    QDir().mkpath(tree.filePath("mov/normal"));
    QDir().mkpath(tree.filePath("cfg"));
    writeFile(tree.filePath("cfg/bbox.ini"), "ch1_resol=3\nch2_resol=1\nch3_resol=1\n");
    // Names of the files an open makes, taken by recordings of the card's own.
    QFile::copy(threeCameras, tree.filePath("mov/normal/playing.mp4"));
    QFile::copy(threeCameras, tree.filePath("mov/normal/temp.mp4"));
    QFile::copy(twoCameras, tree.filePath("mov/normal/N_20241005_143012.mp4"));
    // A finished recording whose name merely holds ".mov".
    QFile::copy(finishedLookingUnfinished, tree.filePath("mov/normal/N_20241005_150500.mov.mp4"));
    QTemporaryDir work;
    const QString image = work.filePath("card.img");
    korvane::test::writeExt4Card(tree.path(), image);

    CardModel viewer(image);
    AppViewModel &model = viewer.model();
    viewer.loadCard();
    ASSERT_EQ(model.library()->recordingCount(), 4);

    // Opening a recording makes its playable files; the card's files of the same names are
    // still the card's.
    QCoro::waitFor(model.opener()->selectAt(viewer.row("N_20241005_143012.mp4")));
    viewer.waitUntilOpened();
    ASSERT_EQ(model.nowPlaying()->videoPlayers().size(), 2);
    // Whatever lies at a copy's place after Korvane made it is not the card's file.
    const FileListItem twoCameraRow =
        model.library()->filtered()[viewer.row("N_20241005_143012.mp4")];
    writeFile(localCopy(twoCameraRow), QByteArray(QFileInfo(twoCameras).size(), 'j'));

    QTemporaryDir folder;
    model.library()->setChecked(static_cast<int>(viewer.row("playing.mp4")), true);
    model.library()->setChecked(static_cast<int>(viewer.row("temp.mp4")), true);
    model.library()->setChecked(static_cast<int>(viewer.row("N_20241005_143012.mp4")), true);
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
    for (const char *name : {"playing.mp4", "temp.mp4"}) {
        EXPECT_EQ(readFile(folder.filePath(name)), readFile(threeCameras)) << name;
        EXPECT_EQ(korvane::test::ffprobeStreams(folder.filePath(name), "codec_type").count("video"),
                  3);
    }
    EXPECT_EQ(readFile(folder.filePath("N_20241005_143012.mp4")), readFile(twoCameras))
        << "read from the card again, not the file found at the copy's place";

    // One rule says which recordings are rebuilt: a name that ends in ".mov". A name that only
    // holds it plays and saves as the MP4 it is.
    QStringList progress;
    QObject::connect(model.notifications(), &Notifications::procMessageChanged, &model, [&] {
        if (model.notifications()->procMessage())
            progress.append(*model.notifications()->procMessage());
    });
    QCoro::waitFor(model.opener()->selectAt(viewer.row("N_20241005_150500.mov.mp4")));
    viewer.waitUntilOpened();
    EXPECT_EQ(model.nowPlaying()->videoPlayers().size(), 2);
    EXPECT_FALSE(progress.contains("영상을 복구 중입니다. 잠시만 기다려주세요.")) << "not rebuilt";
    model.library()->checkAll(false);
    model.library()->setChecked(static_cast<int>(viewer.row("N_20241005_150500.mov.mp4")), true);
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(readFile(folder.filePath("N_20241005_150500.mov.mp4")),
              readFile(finishedLookingUnfinished));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("N_20241005_150500.mov.mov")));
    EXPECT_EQ(filesIn(folder.path()).size(), 4);

    // A card that can no longer be read gives no copy: what lies at the copy's place is still
    // not the card's file.
    writeFile(localCopy(twoCameraRow), QByteArray(QFileInfo(twoCameras).size(), 'j'));
    ASSERT_TRUE(QFile::rename(image, image + ".gone"));
    model.library()->checkAll(false);
    model.library()->setChecked(static_cast<int>(viewer.row("N_20241005_143012.mp4")), true);
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->alertMessage(),
              "N_20241005_143012.mp4 파일을 저장하지 못했습니다.");
    EXPECT_EQ(filesIn(folder.path()).size(), 4);
}

TEST(TrustDownload, NothingTickedSavesTheOpenRecordingOrSaysWhatToTick)
{
    CardModel viewer(korvane::test::sampleCardImage({"--seconds", "1"}));
    AppViewModel &model = viewer.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    QTemporaryDir folder;

    EXPECT_FALSE(model.downloads()->readyToDownload());
    EXPECT_EQ(model.notifications()->alertMessage(), "다운로드할 영상을 목록에서 체크해 주세요.");
    model.notifications()->closeAlert();
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt)
        << "never \"finished\" for nothing";
    EXPECT_EQ(model.notifications()->alertMessage(), "다운로드할 영상을 목록에서 체크해 주세요.");
    EXPECT_TRUE(filesIn(folder.path()).isEmpty());

    model.notifications()->closeAlert();
    QCoro::waitFor(model.opener()->selectAt(viewer.row("N_20241005_143012.mp4")));
    viewer.waitUntilOpened();
    EXPECT_TRUE(model.downloads()->readyToDownload());
    // A network folder the desktop's dialog may offer has no local path: nothing is saved, least
    // of all into the working folder an empty path would name.
    const QStringList working = filesIn(QDir::currentPath());
    for (const QUrl &remote : {QUrl(QStringLiteral("sftp://host/videos")), QUrl()}) {
        model.downloads()->startDownload(remote);
        model.clips()->exportGpx(remote);
        model.nowPlaying()->saveSnapshots(remote);
        EXPECT_FALSE(model.downloads()->isDownloading()) << remote.toString().toStdString();
    }
    EXPECT_EQ(filesIn(QDir::currentPath()), working);
    EXPECT_EQ(model.notifications()->savedMessage(), std::nullopt);
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->savedMessage(),
              QStringLiteral("N_20241005_143012.mp4 을(를) %1에 저장했습니다.")
                  .arg(SaveFolders::shownPath(folder.path())));
    EXPECT_EQ(filesIn(folder.path()), QStringList{"N_20241005_143012.mp4"});
}

TEST(TrustDownload, ACameraThatCannotBeTakenOutIsNotSavedAsTheWholeRecording)
{
    // Sixteen channels of sound: ffmpeg copies them, but its AAC encoder takes at most eight,
    // so the camera with its sound in AAC cannot be made.
    QTemporaryDir tree;
    makeCardFolders(tree.path());
    writeFile(tree.filePath("cfg/bbox.ini"), "ch1_resol=3\nch2_resol=1\n");
    const QString recording = tree.filePath("mov/normal/N_20241006_100000.mp4");
    QString everyChannel = QStringLiteral("[2:a]pan=hexadecagonal");
    for (int c = 0; c < 16; ++c)
        everyChannel += QStringLiteral("|c%1=c0").arg(c);
    const korvane::test::ProgramRun made =
        korvane::test::run("ffmpeg", {"-v",
                                      "error",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "testsrc=size=160x120:rate=10:duration=1",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "testsrc=size=96x64:rate=10:duration=1",
                                      "-f",
                                      "lavfi",
                                      "-i",
                                      "sine=frequency=440:duration=1:sample_rate=48000",
                                      "-filter_complex",
                                      everyChannel + "[a]",
                                      "-map",
                                      "0:v",
                                      "-map",
                                      "1:v",
                                      "-map",
                                      "[a]",
                                      "-c:v",
                                      "libx264",
                                      "-c:a",
                                      "libopus",
                                      "-mapping_family",
                                      "255",
                                      recording});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    QTemporaryDir work;
    const QString image = work.filePath("card.img");
    korvane::test::writeExt4Card(tree.path(), image);

    CardModel viewer(image);
    AppViewModel &model = viewer.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    model.downloads()->nextChannelChoice();
    ASSERT_EQ(model.downloads()->channelChoice(), 1);
    model.library()->checkAll(true);
    QTemporaryDir folder;
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->alertMessage(),
              "N_20241006_100000.mp4 파일을 저장하지 못했습니다.");
    EXPECT_TRUE(filesIn(folder.path()).isEmpty()) << "no two-camera file named as camera 1";
}

TEST(TrustDownload, ACardTakenOutStopsTheDownloadSaysSoAndKeepsWhatWasSaved)
{
    QTemporaryDir work;
    const QString image = work.filePath("card.img");
    ASSERT_TRUE(QFile::copy(korvane::test::sampleCardImage({"--seconds", "1"}), image));
    CardModel viewer(image);
    AppViewModel &model = viewer.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    tickAll(model);
    QTemporaryDir folder;
    QObject::connect(model.notifications(), &Notifications::downloadMessageChanged, &model, [&] {
        if (model.notifications()->downloadMessage() ==
            QString("총 6 중 3 개 영상 다운로드 중...")) {
            QFile::rename(image, image + ".gone");
            model.session()->cardDetached();
        }
    });
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt) << "not finished";
    EXPECT_EQ(model.notifications()->alertMessage(),
              "다운로드 중에 SD 카드가 빠져 멈췄습니다. 6개 중 2개는 저장되어 "
              "있습니다. 카드를 다시 넣고 나머지를 다시 다운로드해 주세요.");
    // The two newest, both unfinished: each as the card holds it and rebuilt, all still there.
    EXPECT_EQ(filesIn(folder.path()),
              QStringList({"M_20241005_145012.mov", "M_20241005_145012.mp4",
                           "N_20241005_144012.mov", "N_20241005_144012.mp4"}));
    EXPECT_FALSE(model.downloads()->isDownloading());
}

TEST(TrustDownload, ClaimsBeyondTheFreeRoomAreSavedNoFurtherThanTheyFit)
{
    // The second recording claims more than the folder's disk has; its data is two blocks.
    QTemporaryDir tree;
    QDir().mkpath(tree.filePath("mov/normal"));
    writeFile(tree.filePath("mov/normal/N_20241005_100000.mp4"), "a small recording");
    QTemporaryDir folder(QStringLiteral("/dev/shm/korvane-test-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const qint64 claim = QStorageInfo(folder.path()).bytesAvailable() + (qint64{4} << 30);
    writeSparseRecording(tree.filePath("mov/normal/N_20241005_090000.mp4"), claim);
    QTemporaryDir work;
    const QString image = work.filePath("card.img");
    korvane::test::writeExt4Card(tree.path(), image, claim + (qint64{1} << 30));

    CardModel viewer(image);
    AppViewModel &model = viewer.model();
    model.library()->setIsAutoLoad(false);
    QCoro::waitFor(model.library()->reloadList());
    ASSERT_EQ(model.library()->recordingCount(), 2);
    model.library()->checkAll(true);
    QCoro::waitFor(model.downloads()->downloadChecked(folder.path()));
    EXPECT_EQ(model.notifications()->alertMessage(),
              "저장할 폴더의 빈 공간이 모자라 2개 중 1개만 저장합니다. 공간을 비우거나 다른 "
              "폴더를 골라 나머지를 다시 다운로드해 주세요.");
    EXPECT_EQ(model.notifications()->downloadMessage(), std::nullopt);
    EXPECT_EQ(filesIn(folder.path()), QStringList{"N_20241005_100000.mp4"});
}

TEST(TrustDownload, CardSaveKeepsHolesAndStopsWhereTheClaimsNoLongerFit)
{
    // Twenty two-block recordings that each claim 48 MiB of a 64 MiB file system.
    QTemporaryDir tree;
    makeCardFolders(tree.path());
    for (int k = 0; k < 20; ++k)
        writeSparseRecording(
            tree.filePath(
                QStringLiteral("mov/normal/N_20241005_1430%1.mp4").arg(k, 2, 10, QChar('0'))),
            qint64{48} << 20);
    QTemporaryDir work;
    const QString sparse = work.filePath("sparse.img");
    korvane::test::writeExt4Card(tree.path(), sparse, qint64{64} << 20);
    QTemporaryDir home;
    const QProcessEnvironment environment = withHome(home);
    const QString cli = QStringLiteral(TOOLS_FOLDER "/korvane-cli");
    QTemporaryDir folder;
    const korvane::test::ProgramRun save =
        korvane::test::run(cli, {"card", "save", sparse, folder.path()}, environment);
    EXPECT_EQ(save.exitCode, 0) << save.err.constData();
    ASSERT_EQ(filesIn(folder.path()).size(), 20);
    qint64 written = 0;
    for (const QString &name : filesIn(folder.path())) {
        const QString path = folder.filePath(name);
        EXPECT_EQ(QFileInfo(path).size(), qint64{48} << 20);
        struct stat st
        {
        };
        ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
        written += qint64{st.st_blocks} * 512;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(4096), QByteArray(4096, 'r'));
        EXPECT_EQ(file.read(4096), QByteArray(4096, '\0'));
        file.seek((qint64{48} << 20) - 4096);
        EXPECT_EQ(file.read(4096), QByteArray(4096, 'e'));
    }
    EXPECT_LT(written, qint64{4} << 20) << "960 MiB of holes written out";

    // The second recording claims more than the folder's disk has to spare.
    QTemporaryDir small;
    makeCardFolders(small.path());
    writeFile(small.filePath("mov/normal/N_20241005_100000.mp4"), "a small recording");
    QTemporaryDir shared(QStringLiteral("/dev/shm/korvane-test-XXXXXX"));
    ASSERT_TRUE(shared.isValid());
    const qint64 claim = QStorageInfo(shared.path()).bytesAvailable() + (qint64{4} << 30);
    writeSparseRecording(small.filePath("mov/normal/N_20241005_090000.mp4"), claim);
    const QString large = work.filePath("large.img");
    korvane::test::writeExt4Card(small.path(), large, claim + (qint64{1} << 30));
    const korvane::test::ProgramRun stopped =
        korvane::test::run(cli, {"card", "save", large, shared.path()}, environment);
    EXPECT_EQ(stopped.exitCode, 1);
    EXPECT_EQ(stopped.out, shared.filePath("N_20241005_100000.mp4").toUtf8() + "\n");
    EXPECT_TRUE(stopped.err.contains("1 of 2 recordings left")) << stopped.err.constData();
    EXPECT_TRUE(
        stopped.err.contains("cannot save mov/normal/N_20241005_090000.mp4: not enough room"))
        << "every recording left is named";
    EXPECT_EQ(filesIn(shared.path()), QStringList{"N_20241005_100000.mp4"});
}

TEST(TrustSettings, SettingsSavedForTheDashcamSurviveEveryCardLoadUntilItTakesThem)
{
    QTemporaryDir tree;
    makeCardFolders(tree.path());
    writeFile(tree.filePath("cfg/bbox.ini"), "[bbox]\nch1_resol=3\nwifi_ssid_1=dashcam\n");
    writeFile(tree.filePath("cfg/bbox.cfg"),
              "[bbox]\nch1_resol=3\nwifi_ssid_1=dashcam\nvolume=60\n");
    QTemporaryDir work;
    const QString image = work.filePath("card.img");
    korvane::test::writeExt4Card(tree.path(), image);

    CardModel viewer(image);
    AppViewModel &model = viewer.model();
    model.library()->setIsAutoLoad(false);
    const QString onVolume = QDir(viewer.volume()).filePath("bbox.cfg");
    QCoro::waitFor(model.library()->reloadList());
    EXPECT_EQ(readFile(onVolume), readFile(tree.filePath("cfg/bbox.cfg")))
        << "a volume without settings is given the card's";
    {
        SettingsViewModel settings(model.procManager());
        settings.loadSettings();
        EXPECT_FALSE(settings.savedNotYetTaken());
        settings.wifiSSID = QStringLiteral("MyCar");
        settings.volumeIndex = 3;
        ASSERT_TRUE(settings.saveSettings());
    }
    const QByteArray saved = readFile(onVolume);
    ASSERT_TRUE(saved.contains("wifi_ssid_1=MyCar"));
    for (int load = 0; load < 3; ++load)
        QCoro::waitFor(model.library()->reloadList());
    EXPECT_EQ(readFile(onVolume), saved) << "the user's settings are still there for the dashcam";
    SettingsViewModel again(model.procManager());
    QSignalSpy changed(&again, &SettingsViewModel::changed);
    again.loadSettings();
    EXPECT_EQ(again.wifiSSID, "MyCar");
    EXPECT_EQ(again.volumeIndex, 3);
    EXPECT_TRUE(again.savedNotYetTaken()) << "the window says the dashcam takes them next";
    EXPECT_GT(changed.count(), 0);
}

TEST(TrustStart, AMissingToolStopsTheStartNamingItInTheWindowAndOnTheCommandLine)
{
    // The viewer's tools, ffmpeg left out.
    QTemporaryDir install;
    for (const char *tool : {"durnix", "salvex", "korvane-cli"})
        ASSERT_TRUE(QFile::link(QStringLiteral(TOOLS_FOLDER "/") + tool, install.filePath(tool)));

    AppViewModel model(PlaybackOutput{true, "fakesink sync=true"});
    model.procManager().tools().setUsesCardImage(true);
    model.procManager().tools().setBundledTools(install.path() + "/");
    EXPECT_FALSE(QCoro::waitFor(model.session()->startUp(nullptr)));
    EXPECT_EQ(model.notifications()->overlay(), Notifications::Overlay::SetupFailed);
    EXPECT_FALSE(model.notifications()->canWatchFromComputer()) << "nothing plays without ffmpeg";
    EXPECT_TRUE(model.session()->setupProblem().contains("ffmpeg"))
        << model.session()->setupProblem().toStdString();
    EXPECT_TRUE(model.session()->setupProblem().contains(install.filePath("ffmpeg")))
        << "where it was looked for";
    // A folder of that name is no program either.
    ASSERT_TRUE(QDir().mkpath(install.filePath("ffmpeg")));
    AppViewModel again(PlaybackOutput{true, "fakesink sync=true"});
    again.procManager().tools().setUsesCardImage(true);
    again.procManager().tools().setBundledTools(install.path() + "/");
    EXPECT_FALSE(QCoro::waitFor(again.session()->startUp(nullptr)));
    EXPECT_TRUE(again.session()->setupProblem().contains(install.filePath("ffmpeg")));
    ASSERT_TRUE(QDir().rmdir(install.filePath("ffmpeg")));

    // korvane-cli finds its tools beside itself: a copy of the program, not a link to it.
    ASSERT_TRUE(QFile::remove(install.filePath("korvane-cli")));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TOOLS_FOLDER "/korvane-cli"), install.filePath("korvane-cli")));
    QTemporaryDir home;
    const QProcessEnvironment environment = withHome(home);
    const korvane::test::ProgramRun list = korvane::test::run(
        install.filePath("korvane-cli"),
        {"card", "list", korvane::test::sampleCardImage({"--seconds", "1"})}, environment);
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(list.err).contains(install.filePath("ffmpeg")))
        << list.err.constData();
    EXPECT_FALSE(list.out.contains("N_20241005_143012.mp4"));
}

TEST(TrustStart, WithNoWayToReadCardsRecordingsOnTheComputerStillPlay)
{
    // No set-user-ID durnix beside the tools, and no system bus for UDisks2.
    QTemporaryDir install;
    for (const char *tool : {"durnix", "salvex", "ffmpeg"})
        ASSERT_TRUE(QFile::link(QStringLiteral(TOOLS_FOLDER "/") + tool, install.filePath(tool)));
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    AppViewModel model(PlaybackOutput{true, "fakesink sync=true"});
    model.procManager().tools().setBundledTools(install.path() + "/");
    EXPECT_FALSE(QCoro::waitFor(model.session()->startUp(nullptr)));
    qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_EQ(model.notifications()->overlay(), Notifications::Overlay::SetupFailed);
    EXPECT_TRUE(model.session()->setupProblem().contains(u"SD 카드를 읽을 수 없습니다."))
        << model.session()->setupProblem().toStdString();
    EXPECT_TRUE(model.notifications()->canWatchFromComputer());

    const QString kept = korvane::test::sampleRecording({"--channels", "2", "--seconds", "2"});
    QCoro::waitFor(model.library()->openLocalFiles({QUrl::fromLocalFile(kept)}));
    EXPECT_EQ(model.notifications()->overlay(), Notifications::Overlay::None)
        << "the cover gives way to the recordings picked";
    QCoro::waitFor(model.opener()->selectAt(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.library()->isSelecting(); }, 60000));
    EXPECT_EQ(model.nowPlaying()->videoPlayers().size(), 2);
    EXPECT_EQ(model.notifications()->alertMessage(), std::nullopt);
}

TEST(TrustCardSave, SaysWhatItCouldNotDoPrintsWhereFilesWentAndStopsCleanlyOnCtrlC)
{
    QTemporaryDir tree, work, home;
    makeCardFolders(tree.path());
    writeFile(tree.filePath("cfg/bbox.ini"), "ch1_resol=3\nch2_resol=1\n");
    // An unfinished recording cut short: no rebuild can make it play.
    writeFile(
        tree.filePath("mov/normal/N_20241005_180100.mov"),
        readFile(korvane::test::sampleRecording({"--seconds", "1", "--unfinished"})).left(3000));
    // A blank that is no plain space, as Korean text may hold.
    const QString wide = QStringLiteral("E_20241005_150000") + QChar(0x3000) + "x.mp4";
    writeFile(tree.filePath("mov/event/" + wide), "event");
    // The longest name a card holds, for one camera of it.
    const QString longest = QString(251, QLatin1Char('B')) + ".mp4";
    writeFile(tree.filePath("mov/manual/" + longest),
              readFile(korvane::test::sampleRecording({"--seconds", "1"})));
    writeFile(tree.filePath("mov/saved/E_20241003_081500.mp4"), QByteArray(4096, 'c'));
    const QString image = work.filePath("card.img");
    korvane::test::writeExt4Card(tree.path(), image);
    // A claim beyond any count.
    korvane::test::run("/sbin/debugfs", {"-w", "-R",
                                         "sif mov/saved/E_20241003_081500.mp4 size "
                                         "0xffffffffffffffff",
                                         image + "?offset=104857600"});

    const QProcessEnvironment environment = withHome(home);
    const QString cli = QStringLiteral(TOOLS_FOLDER "/korvane-cli");
    EXPECT_TRUE(korvane::test::run(cli, {"card", "list", "--type", "saved", image}, environment)
                    .out.contains("\t9223372036854775807\n"));

    QTemporaryDir folder;
    const korvane::test::ProgramRun save =
        korvane::test::run(cli, {"card", "save", image, folder.path()}, environment);
    EXPECT_EQ(save.exitCode, 1);
    const QStringList printed = QString::fromUtf8(save.out).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(printed.size(), 3) << "a claim that cannot fit holds up no other recording: "
                                 << save.out.constData();
    for (const QString &path : printed)
        EXPECT_TRUE(QFileInfo(path).isFile())
            << "a printed path a script cannot use: " << path.toStdString();
    EXPECT_TRUE(printed.contains(folder.filePath(wide)));
    EXPECT_EQ(readFile(folder.filePath("N_20241005_180100.mov")),
              readFile(tree.filePath("mov/normal/N_20241005_180100.mov")))
        << "kept as the card holds it";
    EXPECT_TRUE(save.err.contains("saved mov/normal/N_20241005_180100.mov as the card holds it, "
                                  "but no MP4 that plays could be rebuilt from it"))
        << save.err.constData();
    EXPECT_TRUE(save.err.contains("cannot save mov/saved/E_20241003_081500.mp4: not enough room"))
        << save.err.constData();

    QTemporaryDir camera;
    const korvane::test::ProgramRun one = korvane::test::run(
        cli, {"card", "save", "--type", "manual", "--channel", "1", image, camera.path()},
        environment);
    EXPECT_EQ(one.exitCode, 0) << one.err.constData();
    EXPECT_EQ(filesIn(camera.path()), QStringList{QString(247, QLatin1Char('B')) + "_CH1.mp4"});

    // Ctrl+C once the first recording is saved: the one under way is finished, nothing else is
    // left, in the folder or in the cache.
    QTemporaryDir many;
    makeCardFolders(many.path());
    for (int k = 0; k < 4; ++k)
        writeFile(many.filePath(QStringLiteral("mov/normal/N_20241005_14%1000.mp4").arg(k)),
                  QByteArray(24 << 20, static_cast<char>('a' + k)));
    const QString manyImage = work.filePath("many.img");
    korvane::test::writeExt4Card(many.path(), manyImage);
    QTemporaryDir interrupted;
    QProcess running;
    running.setProcessEnvironment(environment);
    running.start(cli, {"card", "save", manyImage, interrupted.path()});
    ASSERT_TRUE(QTest::qWaitFor([&] { return running.canReadLine(); }, 60000));
    ::kill(static_cast<pid_t>(running.processId()), SIGINT);
    ASSERT_TRUE(running.waitForFinished(60000));
    EXPECT_EQ(running.exitCode(), 130);
    const QStringList done =
        QString::fromUtf8(running.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_LT(done.size(), 4);
    EXPECT_EQ(filesIn(interrupted.path()).size(), done.size()) << "only what was printed";
    for (const QString &path : done)
        EXPECT_EQ(QFileInfo(path).size(), 24 << 20) << path.toStdString();
    EXPECT_TRUE(QDir(home.filePath("cache"))
                    .entryList({"korvane-cli-*"}, QDir::Dirs | QDir::Hidden)
                    .isEmpty())
        << "the run's working folder is gone";
}
