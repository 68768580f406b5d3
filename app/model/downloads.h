#pragma once

#include "records/filelistitem.h"
#include "services/recordingsaver.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace korvane {

class CardSession;
class Notifications;
class NowPlaying;
class ProcessManager;
class RecordingLibrary;

// Saving recordings into a folder the user picks: the ticked rows, or the open recording when
// none is ticked, whole or the camera of the channel choice, with the progress and what could
// not be saved told to the user. Main thread only.
class Downloads : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    // 0: all channels; N: camera channel N. The download saves what it names.
    Q_PROPERTY(int channelChoice READ channelChoice NOTIFY channelChoiceChanged)
    Q_PROPERTY(QString channelChoiceLabel READ channelChoiceLabel NOTIFY channelChoiceChanged)

public:
    Downloads(ProcessManager &card, CardSession *session, RecordingLibrary *library,
              NowPlaying *nowPlaying, Notifications *notifications, QObject *parent = nullptr);

    bool isDownloading() const { return m_isDownloading; }
    // A clip being saved counts as a download: one save at a time.
    void setIsDownloading(bool on);
    int channelChoice() const { return m_channelChoice; }
    QString channelChoiceLabel() const;
    // The camera channels the card records.
    int activeChannelCount() const;

    // The ticked rows, or the open recording when none is ticked, into `folder`.
    QCoro::Task<> downloadChecked(QString folder);
    // Whether the download button has something to save (ticked rows, or the open recording)
    // while no download runs; when there is nothing, the alert says what to tick.
    Q_INVOKABLE bool readyToDownload();
    Q_INVOKABLE void startDownload(const QUrl &folder);
    Q_INVOKABLE void nextChannelChoice();

signals:
    void isDownloadingChanged();
    void channelChoiceChanged();

private:
    // The ticked rows, or the open recording when none is ticked.
    QList<FileListItem> rowsToDownload() const;

    ProcessManager &m_card;
    CardSession *m_session;
    RecordingLibrary *m_library;
    NowPlaying *m_nowPlaying;
    Notifications *m_notifications;
    int m_channelChoice = 0;
    bool m_isDownloading = false;
    RecordingSaver m_saver;
};

} // namespace korvane
