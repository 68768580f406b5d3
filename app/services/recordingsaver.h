#pragma once

#include "records/filelistitem.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>

#include <functional>

namespace korvane {

class ProcessManager;

// Saving recordings of the card into a folder: each whole as the card holds it (an unfinished
// one beside it rebuilt into an MP4 that plays), or one camera channel with its sound, under the
// names the card gives them (savedFileName). Nothing in the folder is replaced: a taken name
// gives way to the next free one, and a recording that is not saved leaves nothing there. A row
// is read from the card first unless its working copy is Korvane's own. Main thread only.
class RecordingSaver : public QObject
{
    Q_OBJECT

public:
    enum class Saved
    {
        yes,
        noSuchChannel,
        failed,
        noRoom,    // the working folder's disk is too full to copy it from the card
        cardLeft,  // the card was taken out while it was read
        notRebuilt // an unfinished recording saved as the card holds it, but not rebuilt
    };
    struct RowDownload
    {
        Saved saved = Saved::failed;
        QString path;      // where it is (the one that plays), or would have been
        QStringList files; // every file saved for it
        QString problem;   // why it is not (all) saved, for the log and the command line
    };

    explicit RecordingSaver(ProcessManager &card, QObject *parent = nullptr);

    // Where the card's generation is read: a card read that ends in another generation was cut
    // short by the card leaving.
    void setCardGeneration(std::function<quint64()> generation);

    // A row whole into `folder`; an unfinished recording as the card holds it and rebuilt.
    QCoro::Task<RowDownload> download(FileListItem item, QString folder);
    // One row into `folder` with a channel choice (0: all channels).
    QCoro::Task<RowDownload> downloadRow(FileListItem item, QString folder, int choice);
    // Camera `channel` (from 0) of a row with its sound into `folder`, as "<name>_CH<n>.mp4".
    QCoro::Task<RowDownload> downloadChannel(FileListItem item, QString folder, int channel);
    // The rows, in order, that fit into `folder` by the sizes the card claims for them, with
    // the room Korvane keeps free on every disk left over; a row that does not fit is passed
    // over.
    static QList<FileListItem> rowsWithRoom(const QList<FileListItem> &rows, const QString &folder,
                                            int choice);

signals:
    // The row was read from the card into the working folder.
    void rowCopied(const FileListItem &item);

private:
    // Whether the row's own copy is in the working folder, read from the card when it is not
    // yet: yes, or why not.
    QCoro::Task<RowDownload> copiedFromCard(FileListItem item);

    ProcessManager &m_card;
    std::function<quint64()> m_cardGeneration;
};

} // namespace korvane
