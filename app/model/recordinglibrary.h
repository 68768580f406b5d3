#pragma once

#include "model/recordinglistmodel.h"
#include "records/filelistitem.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace korvane {

class CardSession;
class Notifications;
class ProcessManager;

// The card's recordings and the rows the list shows: reading the card, the type tabs, ticks,
// which row is open, recordings picked from the computer, and the background copying of the
// card into the working folder. Main thread only.
class RecordingLibrary : public QObject
{
    Q_OBJECT
    Q_PROPERTY(korvane::RecordingListModel *filtered READ filteredModel CONSTANT)
    Q_PROPERTY(int recordingCount READ recordingCount NOTIFY fileListChanged)
    Q_PROPERTY(QStringList tabTitles READ tabTitles CONSTANT)
    Q_PROPERTY(int selectedTab READ selectedTab NOTIFY selectedTabChanged)
    Q_PROPERTY(bool isAllChecked READ isAllChecked NOTIFY isAllCheckedChanged)
    // -1 while nothing is open.
    Q_PROPERTY(int selectedIndex READ selectedIndexValue NOTIFY selectedIndexChanged)
    Q_PROPERTY(bool isSelecting READ isSelecting NOTIFY isSelectingChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    static const QStringList typeNames;
    static const QStringList typeTitles;

    RecordingLibrary(ProcessManager &card, CardSession *session, Notifications *notifications,
                     QObject *parent = nullptr);

    RecordingListModel *filteredModel() { return &m_filtered; }
    const QList<FileListItem> &fileList() const { return m_fileList; }
    int recordingCount() const { return static_cast<int>(m_fileList.size()); }
    const QList<FileListItem> &filtered() const { return m_filtered.rows(); }
    // The type tabs' titles in the window's language.
    QStringList tabTitles() const;
    // The title of a recording type ("normal": "상시") in the window's language.
    static QString typeTitle(const QString &type);
    int selectedTab() const { return m_selectedTab; }
    // The entry of `typeNames` at `selectedTab`, or the first one while no tab is chosen.
    QString currentType() const;
    bool isAllChecked() const { return m_isAllChecked; }
    std::optional<qsizetype> selectedIndex() const { return m_selectedIndex; }
    bool isSelecting() const { return m_isSelecting; }
    bool isLoading() const { return m_isLoading; }
    // Whether the list shows recordings picked from the computer rather than the card's (and
    // for a second after a card left).
    bool uploaded() const { return m_uploaded; }
    void setUploaded(bool on);
    // Whether the card is copied in the background after it is read and after each open.
    bool isAutoLoad() const { return m_isAutoLoad; }
    void setIsAutoLoad(bool on);
    // The rows of `filtered` ticked for download, in list order.
    QList<FileListItem> checkedItems() const;
    // The row's `read`, here and in the rows shown, set to the size of its working copy.
    void markCopied(const FileListItem &item);

    // Reads the card's recordings into the list; an open under way finishes first.
    QCoro::Task<> reloadList();
    Q_INVOKABLE void startLoading();
    Q_INVOKABLE void cancelLoading();
    Q_INVOKABLE void checkAll(bool value);
    Q_INVOKABLE void setChecked(int row, bool value);
    Q_INVOKABLE void selectTab(int index);
    // The tab of a recording type chosen, its rows shown when this ends.
    QCoro::Task<> showRowsOf(QString type);
    QCoro::Task<> openLocalFiles(QList<QUrl> urls);
    Q_INVOKABLE void openFiles(const QList<QUrl> &urls);
    // Of what was dropped onto the window, the MP4 files on this computer.
    Q_INVOKABLE static QList<QUrl> droppedRecordings(const QList<QUrl> &urls);
    // Copies the row above `index` (the recording made next) from the card, when it is not yet.
    QCoro::Task<> prefetchPrevious(qsizetype index);
    // Copies a row from the card, when it is not yet.
    QCoro::Task<> prefetch(FileListItem row);

    // An open of a row: whether one may start now (none runs, no card load does); then it is
    // marked and the background copying called off until it ends.
    bool beginOpen();
    void endOpen();
    // The open recording's row, marked wherever it is in the rows shown.
    void markSelected(const QUuid &id);

signals:
    void fileListChanged();
    void selectedTabChanged();
    void isAllCheckedChanged();
    void selectedIndexChanged();
    void isSelectingChanged();
    void isLoadingChanged();
    void uploadedChanged();
    void isAutoLoadChanged();
    // A row's copy in the working folder was made or went.
    void rowCopied(const korvane::FileListItem &row);

private:
    int selectedIndexValue() const;
    void setSelectedTab(int tab);
    void setIsAllChecked(bool on);
    void setSelectedIndex(std::optional<qsizetype> index);
    void setIsSelecting(bool on);
    void setIsLoading(bool on);
    void setFileList(const QList<FileListItem> &list);
    void forgetCard();
    // The rows the list shows, the open recording's row marked and `selectedIndex` following it.
    void publishRows(QList<FileListItem> rows);
    // Filters `fileList` by a type on a worker and publishes the sorted rows here.
    QCoro::Task<> applyFilter(QString type);
    QCoro::Task<> copyInBackground(quint64 generation);

    ProcessManager &m_card;
    CardSession *m_session;
    Notifications *m_notifications;
    RecordingListModel m_filtered;
    QList<FileListItem> m_fileList;
    std::optional<qsizetype> m_selectedIndex;
    QUuid m_selectedId; // the open recording's row, wherever it is in the rows shown
    bool m_isReloading = false;
    quint64 m_copyGeneration = 0;   // a copying task of another generation has been superseded
    quint64 m_filterGeneration = 0; // so has a filter
    quint64 m_reloadGeneration = 0; // and a card load
    int m_selectedTab = 0;
    bool m_isAutoLoad = true;
    bool m_uploaded = false;
    bool m_isAllChecked = false;
    bool m_isSelecting = false;
    bool m_isLoading = false;
};

} // namespace korvane
