#include "model/recordinglibrary.h"

#include "base/applog.h"
#include "base/background.h"
#include "base/published.h"
#include "card/diskroom.h"
#include "card/processmanager.h"
#include "card/workingfolder.h"
#include "model/cardsession.h"
#include "model/notifications.h"
#include "services/workingcopy.h"
#include "services/workingfiles.h"

#include <QCoroSignal>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

namespace korvane {

namespace {

// How long the list keeps showing no card rows after a card left, in milliseconds.
constexpr int detachSettleMs = 1000;

// Whether copying a file of `size` bytes leaves the working folder's disk room enough.
bool roomToCopy(qint64 size)
{
    return leavesRoom(WorkingFolder::tempRoot(), size);
}

} // namespace

const QStringList RecordingLibrary::typeNames = {QStringLiteral("normal"), QStringLiteral("event"),
                                                 QStringLiteral("park"),   QStringLiteral("manual"),
                                                 QStringLiteral("saved"),  QStringLiteral("all")};
const QStringList RecordingLibrary::typeTitles = {QT_TR_NOOP("상시"), QT_TR_NOOP("이벤트"),
                                                  QT_TR_NOOP("주차"), QT_TR_NOOP("수동"),
                                                  QT_TR_NOOP("보관"), QT_TR_NOOP("전체")};

RecordingLibrary::RecordingLibrary(ProcessManager &card, CardSession *session,
                                   Notifications *notifications, QObject *parent)
    : QObject(parent), m_card(card), m_session(session), m_notifications(notifications)
{
    connect(session, &CardSession::cardArrived, this, [this] { reloadList(); });
    connect(session, &CardSession::cardLeft, this, &RecordingLibrary::forgetCard);
    connect(session, &CardSession::closing, this, &RecordingLibrary::cancelLoading);
}

void RecordingLibrary::setIsAutoLoad(bool on)
{
    publish(this, m_isAutoLoad, on, &RecordingLibrary::isAutoLoadChanged);
}

void RecordingLibrary::setUploaded(bool on)
{
    publish(this, m_uploaded, on, &RecordingLibrary::uploadedChanged);
}

void RecordingLibrary::setSelectedTab(int tab)
{
    publish(this, m_selectedTab, tab, &RecordingLibrary::selectedTabChanged);
}

void RecordingLibrary::setIsAllChecked(bool on)
{
    publish(this, m_isAllChecked, on, &RecordingLibrary::isAllCheckedChanged);
}

void RecordingLibrary::setSelectedIndex(std::optional<qsizetype> index)
{
    publish(this, m_selectedIndex, index, &RecordingLibrary::selectedIndexChanged);
}

void RecordingLibrary::setIsSelecting(bool on)
{
    publish(this, m_isSelecting, on, &RecordingLibrary::isSelectingChanged);
}

void RecordingLibrary::setIsLoading(bool on)
{
    publish(this, m_isLoading, on, &RecordingLibrary::isLoadingChanged);
}

int RecordingLibrary::selectedIndexValue() const
{
    return m_selectedIndex ? static_cast<int>(*m_selectedIndex) : -1;
}

QStringList RecordingLibrary::tabTitles() const
{
    QStringList titles;
    for (const QString &title : typeTitles)
        titles.append(tr(title.toUtf8().constData()));
    return titles;
}

QString RecordingLibrary::typeTitle(const QString &type)
{
    const auto index = typeNames.indexOf(type);
    return index >= 0 ? tr(typeTitles[index].toUtf8().constData()) : type;
}

QString RecordingLibrary::currentType() const
{
    if (m_selectedTab >= 0 && m_selectedTab < typeNames.size())
        return typeNames[m_selectedTab];
    return typeNames.first();
}

QList<FileListItem> RecordingLibrary::checkedItems() const
{
    QList<FileListItem> checked;
    for (const FileListItem &row : m_filtered.rows()) {
        if (row.isChecked)
            checked.append(row);
    }
    return checked;
}

void RecordingLibrary::setFileList(const QList<FileListItem> &list)
{
    m_fileList = list;
    emit fileListChanged();
}

QCoro::Task<> RecordingLibrary::reloadList()
{
    QPointer<RecordingLibrary> self(this);
    const quint64 card = m_session->generation();
    const quint64 reload = ++m_reloadGeneration;
    setSelectedTab(0);
    setIsAllChecked(false);
    // The card load sets the working copies aside: an open under way must finish first, and
    // none may start until the new list is there.
    m_isReloading = true;
    cancelLoading();
    while (m_isSelecting) {
        co_await qCoro(this, &RecordingLibrary::isSelectingChanged);
        if (!self)
            co_return;
    }
    QList<FileListItem> recordings = co_await m_card.loadCardFiles();
    // A later load of the list, or the card leaving, supersedes this one.
    if (!self || reload != m_reloadGeneration)
        co_return;
    m_isReloading = false;
    if (card != m_session->generation())
        co_return;
    // A card of which nothing could be read says why (UDisks2 or polkit refused it, it holds no
    // file system Korvane knows), rather than passing for a card without recordings.
    if (recordings.isEmpty() && m_card.bbox().isEmpty() && !m_card.cardProblem().isEmpty())
        m_notifications->setAlertMessage(
            tr("SD 카드를 읽지 못했습니다. %1").arg(m_card.cardProblem()));
    sortNewestFirst(recordings);
    setFileList(recordings);
    m_notifications->setHasPickedRecordings(false);
    const QString type = currentType();
    co_await applyFilter(type);
    if (self && m_isAutoLoad && card == m_session->generation())
        startLoading();
}

void RecordingLibrary::forgetCard()
{
    cancelLoading();
    m_selectedId = {};
    setIsAllChecked(false);
    ++m_filterGeneration; // a filter still running must not bring the rows back
    setFileList({});
    publishRows({});
    m_notifications->setHasPickedRecordings(false);
    setUploaded(true);
    QPointer<RecordingLibrary> self(this);
    QTimer::singleShot(detachSettleMs, this, [self] {
        if (self)
            self->setUploaded(false);
    });
}

QCoro::Task<> RecordingLibrary::applyFilter(QString type)
{
    QPointer<RecordingLibrary> self(this);
    const quint64 generation = ++m_filterGeneration;
    QCoro::Task<QList<FileListItem>> filtering = inBackground([rows = m_fileList, type]() mutable {
        // The list is kept newest first, and filtering keeps its order.
        if (type != u"all")
            rows.removeIf([&](const FileListItem &row) { return row.type != type; });
        return rows;
    });
    const QList<FileListItem> rows = co_await filtering;
    // A later filter, or a list picked meanwhile, wins.
    if (!self || generation != m_filterGeneration)
        co_return;
    publishRows(rows);
}

void RecordingLibrary::publishRows(QList<FileListItem> rows)
{
    std::optional<qsizetype> selected;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rows[i].isSelected = !m_selectedId.isNull() && rows[i].id == m_selectedId;
        if (rows[i].isSelected)
            selected = i;
    }
    m_filtered.setRows(rows);
    setSelectedIndex(selected);
}

void RecordingLibrary::markSelected(const QUuid &id)
{
    m_selectedId = id;
    setSelectedIndex(m_filtered.indexOf(id));
    m_filtered.updateRows([&](qsizetype, FileListItem &row) {
        const bool selected = row.id == id;
        return std::exchange(row.isSelected, selected) != selected;
    });
}

void RecordingLibrary::checkAll(bool value)
{
    setIsAllChecked(value);
    m_filtered.updateRows(
        [&](qsizetype, FileListItem &row) { return std::exchange(row.isChecked, value) != value; });
}

void RecordingLibrary::setChecked(int row, bool value)
{
    if (row < 0 || row >= m_filtered.count())
        return;
    FileListItem item = m_filtered.rows()[row];
    item.isChecked = value;
    m_filtered.updateRow(item);
}

void RecordingLibrary::selectTab(int index)
{
    if (index == m_selectedTab)
        return;
    setSelectedTab(index);
    applyFilter(currentType());
    setUploaded(false);
}

QCoro::Task<> RecordingLibrary::showRowsOf(QString type)
{
    const auto index = static_cast<int>(typeNames.indexOf(type));
    if (index < 0 || index == m_selectedTab)
        co_return;
    setSelectedTab(index);
    setUploaded(false);
    co_await applyFilter(currentType());
}

void RecordingLibrary::openFiles(const QList<QUrl> &urls)
{
    QPointer<RecordingLibrary> self(this);
    [](QPointer<RecordingLibrary> library, QList<QUrl> picked) -> QCoro::Task<> {
        co_await library->openLocalFiles(picked);
        if (library)
            library->setUploaded(true);
    }(self, urls);
}

QList<QUrl> RecordingLibrary::droppedRecordings(const QList<QUrl> &urls)
{
    QList<QUrl> recordings;
    for (const QUrl &url : urls) {
        if (url.isLocalFile() &&
            url.toLocalFile().endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive) &&
            QFileInfo(url.toLocalFile()).isFile())
            recordings.append(url);
    }
    return recordings;
}

QCoro::Task<> RecordingLibrary::openLocalFiles(QList<QUrl> urls)
{
    QPointer<RecordingLibrary> self(this);
    if (urls.isEmpty())
        co_return;
    setUploaded(true);
    setSelectedTab(-1);
    m_notifications->setHasPickedRecordings(true);
    ++m_filterGeneration; // a filter still running must not replace the picked files
    publishRows({});
    // Copies of the files picked before go: only the rows shown now have copies.
    WorkingFolder::removeInBackground({QStringLiteral("work/picked")});
    QList<FileListItem> picked;
    for (const QUrl &url : urls) {
        FileListItem row;
        row.id = QUuid::createUuid();
        row.type = typeFromPath(url.path());
        row.name = QFileInfo(url.path()).fileName();
        row.fromComputer = true;
        const QString copy = localCopy(row);
        const QString folder = WorkingFolder::workFolder(QStringLiteral("picked/") + row.type);
        const QString source = url.toLocalFile();
        if (!folder.isEmpty())
            co_await WorkingFolder::copyFile(source, copy);
        if (!self)
            co_return;
        m_card.recordCopy(copy);
        row.size = row.read = static_cast<qint64>(WorkingFolder::fileSize(copy, false));
        picked.append(row);
    }
    sortNewestFirst(picked);
    publishRows(picked);
}

bool RecordingLibrary::beginOpen()
{
    if (m_isSelecting || m_isReloading)
        return false;
    setIsSelecting(true);
    cancelLoading();
    return true;
}

void RecordingLibrary::endOpen()
{
    setIsSelecting(false);
}

// Background copying of the card into the working folder.

void RecordingLibrary::startLoading()
{
    // A new generation: the running task stops before its next row.
    copyInBackground(++m_copyGeneration);
}

void RecordingLibrary::cancelLoading()
{
    if (!m_isLoading)
        return;
    appLog(logModel, "[AppViewModel] loading canceled");
    ++m_copyGeneration;
    setIsLoading(false);
}

QCoro::Task<> RecordingLibrary::copyInBackground(quint64 generation)
{
    QPointer<RecordingLibrary> self(this);
    setIsLoading(true);
    // By id, not position: the list may be rebuilt while rows are copied.
    QList<QUuid> ids;
    for (const FileListItem &row : std::as_const(m_fileList))
        ids.append(row.id);
    for (const QUuid &id : ids) {
        if (!self || generation != m_copyGeneration)
            co_return;
        const auto row = std::find_if(m_fileList.cbegin(), m_fileList.cend(),
                                      [&](const FileListItem &r) { return r.id == id; });
        if (row == m_fileList.cend() || row->read != 0)
            continue;
        if (!roomToCopy(row->size)) {
            appLog(logModel, "[AppViewModel] loading stopped: copying", row->name,
                   "would leave too little room in", WorkingFolder::tempRoot());
            setIsLoading(false);
            co_return;
        }
        const FileListItem item = *row;
        const QString cardPath = item.cardPath();
        // The list shows how far the copy of this row has come.
        QTimer progress;
        progress.setInterval(250);
        connect(&progress, &QTimer::timeout, this,
                [this, item, total = std::max<qint64>(item.size, 1)] {
                    const double done = static_cast<double>(copiedBytes(localCopy(item)));
                    m_filtered.setCopying(item.id,
                                          std::min(1.0, done / static_cast<double>(total)));
                });
        m_filtered.setCopying(item.id, 0);
        progress.start();
        co_await m_card.readCardFile(cardPath, Shell::Priority::background);
        if (!self)
            co_return;
        progress.stop();
        // A newer copying task may have marked its own row meanwhile.
        if (m_filtered.copyingId() == item.id)
            m_filtered.setCopying({}, 0);
        // Copied is copied, even when the copying was called off meanwhile.
        markCopied(item);
    }
    setIsLoading(false);
    appLog(logModel, "[AppViewModel] loading completed");
}

void RecordingLibrary::markCopied(const FileListItem &item)
{
    const QUuid id = item.id;
    const qint64 read = hasOwnCopy(m_card, item) ? fileBytes(localCopy(item)) : 0;
    for (FileListItem &row : m_fileList) {
        if (row.id == id)
            row.read = read;
    }
    if (const auto at = m_filtered.indexOf(id)) {
        FileListItem row = m_filtered.rows()[*at];
        row.read = read;
        m_filtered.updateRow(row);
    }
    FileListItem copied = item;
    copied.read = read;
    emit rowCopied(copied);
}

QCoro::Task<> RecordingLibrary::prefetchPrevious(qsizetype index)
{
    if (index <= 0 || index >= m_filtered.count())
        co_return;
    QCoro::Task<> copying = prefetch(m_filtered.rows()[index - 1]);
    co_await copying;
}

QCoro::Task<> RecordingLibrary::prefetch(FileListItem row)
{
    if (row.read != 0 || row.fromComputer)
        co_return;
    QPointer<RecordingLibrary> self(this);
    // The open waits for it: it runs as fast as the card allows.
    const QString cardPath = row.cardPath();
    co_await m_card.readCardFile(cardPath);
    if (self)
        markCopied(row);
}

} // namespace korvane
