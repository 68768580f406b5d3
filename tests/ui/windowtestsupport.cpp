#include "windowtestsupport.h"

#include "playbacktestsupport.h"
#include "privatehome.h"
#include "samplerecordings.h"
#include "scenetestsupport.h"
#include "ui/shell/viewerapplication.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMutex>
#include <QSettings>
#include <QTest>

#include <atomic>

namespace korvane::test {

namespace {

const auto *const home = testing::AddGlobalTestEnvironment(new PrivateHome);

// What the QML engine and Qt Quick complained about during the current test.
QMutex warningsLock;
QStringList warnings;
// Threads the previous test left (the QML loader's, say) may still be logging while the next test
// puts its own handler in place.
std::atomic<QtMessageHandler> previousHandler = nullptr;

// The programs the viewer started that still run (or wait to be reaped), but for the map's web
// engine, which lives as long as the window.
QStringList runningPrograms()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + QStringLiteral("/children")));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &pid : children.readAll().simplified().split(' ')) {
            QFile command(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid)));
            if (pid.isEmpty() || !command.open(QIODevice::ReadOnly))
                continue;
            const QString name = QString::fromLocal8Bit(command.readAll().trimmed());
            if (!name.startsWith(QLatin1String("QtWebEngine")))
                names.append(name);
        }
    }
    return names;
}

bool fromQml(const QMessageLogContext &context, const QString &message)
{
    const QByteArray category(context.category ? context.category : "");
    return category.startsWith("qt.qml") || category.startsWith("qml") ||
           category.startsWith("qt.quick") || message.contains(QLatin1String("qrc:/")) ||
           message.contains(QLatin1String(".qml:"));
}

void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && fromQml(context, message)) {
        const QMutexLocker lock(&warningsLock);
        warnings.append(message);
    }
    if (const QtMessageHandler previous = previousHandler.load())
        previous(type, context, message);
}

QQuickItem *findIn(QQuickItem *parent, const QString &name)
{
    if (parent->objectName() == name && parent->isVisible())
        return parent;
    for (QQuickItem *child : parent->childItems()) {
        if (QQuickItem *found = findIn(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

void WindowTest::SetUp()
{
    {
        const QMutexLocker lock(&warningsLock);
        warnings.clear();
    }
    previousHandler.store(qInstallMessageHandler(collectWarnings));
    qputenv("XDG_CONFIG_HOME", m_settings.path().toUtf8());
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).clear();
    // The user's own Pictures, Videos and Documents folders are folders of the test.
    {
        QFile folders(m_settings.filePath(QStringLiteral("user-dirs.dirs")));
        ASSERT_TRUE(folders.open(QIODevice::WriteOnly));
        for (const char *name : {"PICTURES", "VIDEOS", "DOCUMENTS"}) {
            const QString kind = QString::fromLatin1(name);
            const QString folder = userFolder(kind.left(1) + kind.mid(1).toLower());
            ASSERT_TRUE(QDir().mkpath(folder));
            folders.write(QStringLiteral("XDG_%1_DIR=\"%2\"\n").arg(kind, folder).toUtf8());
        }
    }

    const QString image = sampleCardImage({"--channels", "5", "--seconds", "12"});
    ASSERT_FALSE(image.isEmpty());
    m_image = m_card.filePath(QStringLiteral("card.img"));
    ASSERT_TRUE(QFile::link(image, m_image));

    m_engine = std::make_unique<QQmlApplicationEngine>();
    QObject::connect(m_engine.get(), &QQmlEngine::warnings, [](const QList<QQmlError> &errors) {
        const QMutexLocker lock(&warningsLock);
        for (const QQmlError &error : errors)
            warnings.append(error.toString());
    });
    ViewerOptions options;
    options.cardImage = m_image;
    options.cardVolume = m_volume.path();
    loadMainWindow(*m_engine, options);
    ASSERT_EQ(m_engine->rootObjects().size(), 1);
    window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    ASSERT_TRUE(window);
    m_model = window->findChild<AppViewModel *>();
    ASSERT_TRUE(m_model);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // Keys go to the active window.
    window->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // The continuous recordings are shown first; copying the card follows.
    ASSERT_TRUE(waitUntil([&] { return m_model->library()->filtered().size() == 2; }, 60000))
        << "the card's recordings were not listed";
    ASSERT_TRUE(waitUntil([&] { return !m_model->library()->isLoading(); }, 60000));
}

void WindowTest::TearDown()
{
    if (window && window->isVisible()) {
        settle();
        const QString folder = QStringLiteral(SHOTS_DIR);
        QDir().mkpath(folder);
        const auto *test = testing::UnitTest::GetInstance()->current_test_info();
        shot().save(QStringLiteral("%1/%2.%3.png")
                        .arg(folder, QString::fromUtf8(test->test_suite_name()),
                             QString::fromUtf8(test->name())));
    }
    if (m_model) {
        m_model->playerManager()->stop();
        // What the test set going (the background copy after an open, a card read) ends before
        // the window goes: work still waiting for its program would never be finished.
        EXPECT_TRUE(waitUntil([] { return runningPrograms().isEmpty(); }, 60000))
            << runningPrograms().join(QLatin1Char(' ')).toStdString();
    }
    m_engine.reset();
    qInstallMessageHandler(previousHandler.load());
    const QMutexLocker lock(&warningsLock);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(QLatin1Char('\n')).toStdString();
}

QQuickItem *WindowTest::findItem(const QString &name, QQuickWindow *in) const
{
    // The window's root holds the content and the layer of popups above it.
    QQuickWindow *searched = in ? in : window;
    QQuickItem *found = searched->contentItem()->parentItem()
                            ? searched->contentItem()->parentItem()
                            : searched->contentItem();
    for (const QString &step : name.split(QLatin1Char('/'))) {
        found = findIn(found, step);
        if (!found)
            return nullptr;
    }
    return found;
}

QQuickWindow *findWindow(const QString &name)
{
    for (QWindow *shown : QGuiApplication::topLevelWindows()) {
        if (shown->objectName() == name && shown->isVisible())
            return qobject_cast<QQuickWindow *>(shown);
    }
    return nullptr;
}

QQuickItem *WindowTest::item(const QString &name, QQuickWindow *in) const
{
    QQuickItem *found = findItem(name, in);
    EXPECT_TRUE(found) << "no visible item " << name.toStdString();
    return found;
}

void WindowTest::click(QQuickItem *target, QPointF at)
{
    if (!target)
        return;
    const QPointF local = at.x() < 0 ? QPointF(target->width() / 2, target->height() / 2) : at;
    QTest::mouseClick(target->window(), Qt::LeftButton, Qt::NoModifier,
                      target->mapToScene(local).toPoint());
    settle();
}

void WindowTest::doubleClick(QQuickItem *target)
{
    if (!target)
        return;
    const QPoint at = target->mapToScene({target->width() / 2, target->height() / 2}).toPoint();
    QTest::mouseDClick(target->window(), Qt::LeftButton, Qt::NoModifier, at);
    settle();
}

void WindowTest::key(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(window, key, modifiers);
    settle();
}

void WindowTest::showAll()
{
    click(QStringLiteral("tab:전체"));
    ASSERT_TRUE(waitUntil([&] { return m_model->library()->filtered().size() == 6; }));
}

int WindowTest::row(const QString &name) const
{
    const QList<FileListItem> &rows = m_model->library()->filtered();
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].name == name)
            return static_cast<int>(i);
    }
    ADD_FAILURE() << "no row " << name.toStdString();
    return -1;
}

void WindowTest::clickRow(const QString &name)
{
    const int index = row(name);
    ASSERT_GE(index, 0);
    QQuickItem *list = item(QStringLiteral("fileList"));
    QQuickItem *delegate = nullptr;
    QMetaObject::invokeMethod(list, "positionViewAtIndex", Q_ARG(int, index), Q_ARG(int, 0));
    QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, delegate),
                              Q_ARG(int, index));
    ASSERT_TRUE(delegate);
    // On the date, away from the row's check box.
    click(delegate, {200, delegate->height() / 2});
}

void WindowTest::open(const QString &name)
{
    clickRow(name);
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(waitUntil([&] { return m_model->library()->isSelecting(); }, 2000) ||
                !m_model->nowPlaying()->videoPlayers().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !m_model->library()->isSelecting(); }, 90000));
    ASSERT_FALSE(m_model->nowPlaying()->videoPlayers().isEmpty()) << "nothing plays";
    ASSERT_EQ(m_model->library()->filtered()[*m_model->library()->selectedIndex()].name, name);
    settle(); // the layout of the new channels
}

void WindowTest::settle()
{
    QList<QQuickWindow *> shown;
    for (QWindow *top : QGuiApplication::topLevelWindows()) {
        if (auto *quick = qobject_cast<QQuickWindow *>(top); quick && quick->isVisible())
            shown.append(quick);
    }
    QStringList moving;
    if (!waitForSettledScene(shown, 60000, &moving))
        ADD_FAILURE() << "the windows did not come to rest: "
                      << moving.join(QStringLiteral("; ")).toStdString();
}

QImage WindowTest::shot() const
{
    return window->grabWindow().convertToFormat(QImage::Format_RGB888);
}

QRect WindowTest::pictureRect(QQuickItem *view, QSize picture) const
{
    const QRectF box = view->mapRectToScene(QRectF(0, 0, view->width(), view->height()));
    const QSizeF fitted = QSizeF(picture).scaled(box.size(), Qt::KeepAspectRatio);
    const QPointF corner = box.center() - QPointF(fitted.width() / 2, fitted.height() / 2);
    return QRectF(corner, fitted).toAlignedRect();
}

void WindowTest::removeCard()
{
    ASSERT_TRUE(QFile::remove(m_image));
    ASSERT_TRUE(waitUntil([&] { return !m_model->session()->hasCard(); }));
}

void WindowTest::insertCard()
{
    const QString image = sampleCardImage({"--channels", "5", "--seconds", "12"});
    ASSERT_TRUE(QFile::link(image, m_image));
    ASSERT_TRUE(waitUntil([&] { return m_model->session()->hasCard(); }));
}

} // namespace korvane::test
