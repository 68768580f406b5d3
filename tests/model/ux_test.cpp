// Where the viewer asks to save and opens its window: the user's own folders, the folder last
// chosen, a folder chooser whose shown folder is the chosen one, the window's last place; and
// when recordings from the computer may be opened.
#include "model/folderbrowser.h"
#include "model/notifications.h"
#include "model/recordinglibrary.h"
#include "model/savefolders.h"
#include "model/screenlayout.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace korvane::test {
namespace {

class UxPlaces : public testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).clear();
    }
    void TearDown() override
    {
        QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).clear();
    }

    // The desktop's own folders, as xdg-user-dirs writes them.
    void setUserFolders(const QString &pictures, const QString &videos, const QString &documents)
    {
        QFile file(m_config.filePath(QStringLiteral("user-dirs.dirs")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("# written by xdg-user-dirs-update\n"
                                  "XDG_PICTURES_DIR=\"%1\"\nXDG_VIDEOS_DIR=\"%2\"\n"
                                  "XDG_DOCUMENTS_DIR=\"%3\"\n")
                       .arg(pictures, videos, documents)
                       .toUtf8());
    }

    QTemporaryDir m_config;
    QTemporaryDir m_home;
};

TEST_F(UxPlaces, EachKindStartsInTheUsersFolderForItThenWhereItLastWent)
{
    const QString pictures = m_home.filePath(QStringLiteral("Bilder"));
    const QString videos = m_home.filePath(QStringLiteral("동영상"));
    const QString documents = m_home.filePath(QStringLiteral("Docs"));
    for (const QString &folder : {pictures, videos, documents})
        ASSERT_TRUE(QDir().mkpath(folder));
    setUserFolders(pictures, videos, documents);

    SaveFolders folders;
    using Kind = SaveFolders::Kind;
    EXPECT_EQ(folders.folderFor(Kind::Snapshots), QUrl::fromLocalFile(pictures));
    EXPECT_EQ(folders.folderFor(Kind::Routes), QUrl::fromLocalFile(documents));
    EXPECT_EQ(folders.folderFor(Kind::Recordings), QUrl::fromLocalFile(videos));
    EXPECT_EQ(folders.folderFor(Kind::Clips), QUrl::fromLocalFile(videos));

    // Each kind remembers its own folder, across viewers.
    const QString evidence = m_home.filePath(QStringLiteral("사고/2024"));
    ASSERT_TRUE(QDir().mkpath(evidence));
    folders.remember(Kind::Clips, QUrl::fromLocalFile(evidence));
    EXPECT_EQ(SaveFolders().folderFor(Kind::Clips), QUrl::fromLocalFile(evidence));
    EXPECT_EQ(SaveFolders().folderFor(Kind::Recordings), QUrl::fromLocalFile(videos));
    // Files opened from a stick are remembered by their folder, apart from where downloads go.
    EXPECT_EQ(folders.folderFor(Kind::Opened), QUrl::fromLocalFile(videos));
    const QString stick = m_home.filePath(QStringLiteral("stick/DCIM"));
    ASSERT_TRUE(QDir().mkpath(stick));
    folders.rememberFolderOf(Kind::Opened,
                             QUrl::fromLocalFile(stick + QStringLiteral("/N_20241005_150000.mp4")));
    EXPECT_EQ(folders.folderFor(Kind::Opened), QUrl::fromLocalFile(stick));
    EXPECT_EQ(folders.folderFor(Kind::Recordings), QUrl::fromLocalFile(videos));

    // A remembered folder removed since: the user's folder for the kind again; without that,
    // the nearest folder above the removed one.
    ASSERT_TRUE(QDir(evidence).removeRecursively());
    EXPECT_EQ(folders.folderFor(Kind::Clips), QUrl::fromLocalFile(videos));
    ASSERT_TRUE(QDir(videos).removeRecursively());
    EXPECT_EQ(folders.folderFor(Kind::Clips), QUrl::fromLocalFile(m_home.filePath("사고")));
}

TEST_F(UxPlaces, TheChooserChoosesTheFolderItShowsAndMakesNewOnes)
{
    const QString root = m_home.path();
    for (const char *name : {"b", "A", "c", ".hidden"})
        ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(name)));
    QFile(root + QStringLiteral("/file.mp4")).open(QIODevice::WriteOnly);

    FolderBrowser browser;
    browser.setFolder(QUrl::fromLocalFile(root + QStringLiteral("/gone/deeper")));
    EXPECT_EQ(browser.folder(), root) << "a folder that is gone shows the nearest one above";
    EXPECT_EQ(browser.subfolders(), QStringList({"A", "b", "c"}))
        << "folders only, whatever their case, hidden ones left out";

    browser.enter(QStringLiteral("c"));
    EXPECT_EQ(browser.folderUrl(), QUrl::fromLocalFile(root + QStringLiteral("/c")));
    EXPECT_TRUE(browser.subfolders().isEmpty()) << "an empty folder is a folder to choose";
    browser.enter(QStringLiteral("../b"));
    EXPECT_EQ(browser.folder(), root + QStringLiteral("/c")) << "only a shown subfolder is entered";
    browser.up();
    EXPECT_EQ(browser.folder(), root);

    EXPECT_TRUE(browser.makeFolder(QStringLiteral(" 블랙박스 ")));
    EXPECT_EQ(browser.folder(), root + QStringLiteral("/블랙박스"));
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/블랙박스")).isDir());
    EXPECT_TRUE(browser.problem().isEmpty());
    browser.up();
    for (const QString &refused : {QString(), QStringLiteral(".."), QStringLiteral("a/b"),
                                   QStringLiteral("블랙박스"), QStringLiteral("file.mp4")}) {
        EXPECT_FALSE(browser.makeFolder(refused)) << refused.toStdString();
        EXPECT_FALSE(browser.problem().isEmpty()) << refused.toStdString();
        EXPECT_EQ(browser.folder(), root) << refused.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/a"))) << "no folder made on the way";

    browser.setFolder(QUrl::fromLocalFile(QStringLiteral("/")));
    EXPECT_TRUE(browser.atTop());
    browser.up();
    EXPECT_EQ(browser.folder(), QStringLiteral("/"));
}

TEST_F(UxPlaces, MessagesNameTheFolderFromHomeAndTheFilesSaved)
{
    const QString home = QDir::homePath();
    EXPECT_EQ(SaveFolders::shownPath(home + QStringLiteral("/Videos/dashcam/")),
              QStringLiteral("~/Videos/dashcam"));
    EXPECT_EQ(SaveFolders::shownPath(home), QStringLiteral("~"));
    EXPECT_EQ(SaveFolders::shownPath(home + QStringLiteral("x/y")), home + QStringLiteral("x/y"))
        << "a folder beside home, named like it, is not in it";
    EXPECT_EQ(SaveFolders::savedText({QStringLiteral("/m/a.mp4"), QStringLiteral("/m/a.mov"),
                                      QStringLiteral("/m/b.mp4")},
                                     home + QStringLiteral("/Videos/dashcam")),
              QStringLiteral("3개 파일을 ~/Videos/dashcam에 저장했습니다."));
    EXPECT_EQ(SaveFolders::savedText({QStringLiteral("/m/a.gpx")}, QStringLiteral("/m")),
              QStringLiteral("a.gpx 을(를) /m에 저장했습니다."));
}

TEST_F(UxPlaces, TheWindowOpensWhereItWasClosedWhenThatStillFits)
{
    const QRect screen(0, 0, 1600, 900);
    const QSize minimum(900, 600);
    EXPECT_EQ(ScreenLayout::openingWindowGeometry(screen, minimum), QRect(120, 67, 1360, 765))
        << "centred at 85 %";
    EXPECT_EQ(ScreenLayout::openingWindowGeometry(QRect(0, 0, 1024, 700), minimum).size(),
              QSize(900, 600))
        << "never under the minimum";
    EXPECT_EQ(ScreenLayout::openingWindowGeometry(QRect(0, 0, 800, 500), minimum).size(),
              QSize(800, 500))
        << "never beyond the screen";

    ScreenLayout::keepWindowGeometry(QRect(40, 30, 1500, 850));
    EXPECT_EQ(ScreenLayout::openingWindowGeometry(screen, minimum), QRect(40, 30, 1500, 850));
    // On a smaller screen since, or beside it: centred again.
    EXPECT_EQ(ScreenLayout::openingWindowGeometry(QRect(0, 0, 1366, 768), minimum).size(),
              QSize(1161, 652));
    EXPECT_EQ(ScreenLayout::openingWindowGeometry(QRect(1600, 0, 1600, 900), minimum).topLeft(),
              QPoint(1720, 67));
}

TEST_F(UxPlaces, RecordingsFromTheComputerOpenWhenNothingButTheWantOfACardCoversTheScreen)
{
    Notifications notifications;
    EXPECT_EQ(notifications.overlay(), Notifications::Overlay::NoCard);
    EXPECT_TRUE(notifications.canOpenFiles());
    notifications.setIsAlerting(true); // the quit question
    EXPECT_FALSE(notifications.canOpenFiles());
    notifications.setIsAlerting(false);
    notifications.setHasCard(true);
    notifications.setDownloadMessage(QStringLiteral("총 3 중 1 개 영상 다운로드 중..."));
    EXPECT_FALSE(notifications.canOpenFiles()) << "a download under way";
    notifications.setDownloadMessage(std::nullopt);
    notifications.setSaved(QStringLiteral("saved"), m_home.path());
    EXPECT_FALSE(notifications.canOpenFiles()) << "the message is read first";
    notifications.closeSaved();
    EXPECT_TRUE(notifications.canOpenFiles());

    // Cards cannot be read: recordings from the computer still play when the tools are there.
    Notifications noCards;
    noCards.setSetupFailed(true);
    EXPECT_EQ(noCards.overlay(), Notifications::Overlay::SetupFailed);
    EXPECT_TRUE(noCards.canOpenFiles());
    noCards.setHasPickedRecordings(true);
    EXPECT_EQ(noCards.overlay(), Notifications::Overlay::None);
    Notifications noTools;
    noTools.setSetupFailed(false);
    EXPECT_FALSE(noTools.canOpenFiles());
    noTools.setHasPickedRecordings(true);
    EXPECT_EQ(noTools.overlay(), Notifications::Overlay::SetupFailed);

    // Of what is dropped, the MP4 files on this computer.
    const QString recording = m_home.filePath(QStringLiteral("N_20241005_150000.MP4"));
    QFile(recording).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir(m_home.path()).mkdir(QStringLiteral("folder.mp4")));
    const QList<QUrl> dropped{QUrl::fromLocalFile(recording),
                              QUrl::fromLocalFile(m_home.filePath(QStringLiteral("folder.mp4"))),
                              QUrl::fromLocalFile(m_home.filePath(QStringLiteral("notes.txt"))),
                              QUrl(QStringLiteral("https://example.com/N_20241005_150000.mp4"))};
    EXPECT_EQ(RecordingLibrary::droppedRecordings(dropped),
              QList<QUrl>{QUrl::fromLocalFile(recording)});
}

} // namespace
} // namespace korvane::test
