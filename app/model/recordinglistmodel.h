#pragma once

#include "records/filelistitem.h"

#include <QAbstractListModel>

#include <functional>
#include <optional>

namespace korvane {

// The rows the recording list shows, for QML: one role per column. A change of one row signals
// that row only; the model is reset only when the rows themselves change.
class RecordingListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // A row is marked "*": unfinished, it is rebuilt when opened. The list explains the mark.
    Q_PROPERTY(bool hasUnfinished READ hasUnfinished NOTIFY hasUnfinishedChanged)

public:
    enum Role
    {
        IdRole = Qt::UserRole + 1,
        CheckedRole,   // bool: ticked for download
        TypeLabelRole, // "REC", "EVT", "PAK", "MAN", "KEEP" or ""
        TypeColorRole, // "red", "green", "yellow" or "" for the text's own colour
        DateRole,      // the recording time, with "*" after it for one to rebuild
        SizeRole,      // "%.2f MB"
        SelectedRole,  // bool: open in the player
        ReadRole,      // bytes of the copy in the working folder
        NameRole,
        CopyProgressRole, // 0 to 1 while the row is being copied from the card, else -1
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_rows.size()); }
    const QList<FileListItem> &rows() const { return m_rows; }
    void setRows(const QList<FileListItem> &rows);
    bool hasUnfinished() const { return m_hasUnfinished; }
    // Replaces the row with the same id, if there is one.
    void updateRow(const FileListItem &item);
    // Changes every row; `change` says whether it changed one. One signal for each run of
    // changed rows side by side.
    void updateRows(const std::function<bool(qsizetype, FileListItem &)> &change);
    std::optional<qsizetype> indexOf(const QUuid &id) const;
    // The row being copied from the card and how far the copy is; a null id: none is.
    void setCopying(const QUuid &id, double progress);
    QUuid copyingId() const { return m_copyingId; }

signals:
    void countChanged();
    void hasUnfinishedChanged();

private:
    void rowChanged(const QUuid &id);

    QList<FileListItem> m_rows;
    bool m_hasUnfinished = false;
    QUuid m_copyingId;
    double m_copyProgress = 0;
};

} // namespace korvane
