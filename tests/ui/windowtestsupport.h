#pragma once

#include "model/appviewmodel.h"

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace korvane::test {

// The shown window of the viewer with that object name, or null.
QQuickWindow *findWindow(const QString &name);

// The viewer's real window on a sample card image, driven with mouse and key events. The card is
// a link to the image: removing the link takes the card out. Every QML warning fails the test,
// and the window as it was at the end is saved as a picture in the build folder.
class WindowTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    AppViewModel &model() const { return *m_model; }
    MultiTrackPlayer &player() const { return *m_model->playerManager(); }

    // The visible item with that object name, or with a path of names ("sideTabs/tab:CH1") the
    // first such item inside the one before; fails the test when there is none.
    // Another window of the viewer's (`in`) is searched instead of the main one when given.
    QQuickItem *item(const QString &name, QQuickWindow *in = nullptr) const;
    // The same, or null.
    QQuickItem *findItem(const QString &name, QQuickWindow *in = nullptr) const;
    void click(QQuickItem *target, QPointF at = {-1, -1});
    void click(const QString &name) { click(item(name)); }
    void doubleClick(QQuickItem *target);
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The list's row of that recording; -1 (and a failure) when it is not shown.
    int row(const QString &name) const;
    // Shows every type of recording in the list.
    void showAll();
    // Clicks the row of that recording.
    void clickRow(const QString &name);
    // Clicks the row of that recording and waits until it plays.
    void open(const QString &name);
    // Waits until the viewer's windows have drawn what the models say now: what was posted
    // delivered, no animation, Behavior or loader part way, and a frame shown since. Fails the
    // test when they do not come to rest.
    void settle();
    QImage shot() const;
    // The picture area of a channel view on screen: its item with the picture's aspect fitted in.
    QRect pictureRect(QQuickItem *view, QSize picture) const;

    // The user's own folder of that name ("Pictures", "Videos", "Documents").
    QString userFolder(const QString &name) const { return m_home.filePath(name); }
    // The folder standing in for the card's FAT volume.
    QString cardVolume() const { return m_volume.path(); }
    void removeCard();
    void insertCard();

    QQuickWindow *window = nullptr;

private:
    QTemporaryDir m_settings;
    QTemporaryDir m_home;
    QTemporaryDir m_card;
    QTemporaryDir m_volume;
    QString m_image;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    AppViewModel *m_model = nullptr;
};

// The sample card's recordings.
namespace sample {
inline const QString twoChannels = QStringLiteral("N_20241005_143012.mp4");
inline const QString unfinished = QStringLiteral("N_20241005_144012.mov");
inline const QString oneChannel = QStringLiteral("P_20241004_220000.mp4");
inline const QString fiveChannels = QStringLiteral("M_20241005_145012.mov");
} // namespace sample

} // namespace korvane::test
