#include "model/recordinglistmodel.h"

#include "base/published.h"

#include <algorithm>
#include <utility>

namespace korvane {

int RecordingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant RecordingListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const FileListItem &row = m_rows[index.row()];
    switch (role) {
    case IdRole:
        return row.id;
    case CheckedRole:
        return row.isChecked;
    case TypeLabelRole:
        return row.typeLabel();
    case TypeColorRole:
        return row.typeColor();
    case DateRole:
        return row.dateText() + (row.needsRebuild() ? QStringLiteral("*") : QString());
    case SizeRole:
        return QString::asprintf("%.2f MB", static_cast<double>(row.size) / 1000 / 1000);
    case SelectedRole:
        return row.isSelected;
    case ReadRole:
        return row.read;
    case NameRole:
        return row.name;
    case CopyProgressRole:
        return !m_copyingId.isNull() && row.id == m_copyingId ? m_copyProgress : -1.0;
    default:
        return {};
    }
}

QHash<int, QByteArray> RecordingListModel::roleNames() const
{
    return {{IdRole, "id"},
            {CheckedRole, "checked"},
            {TypeLabelRole, "typeLabel"},
            {TypeColorRole, "typeColor"},
            {DateRole, "date"},
            {SizeRole, "size"},
            {SelectedRole, "selected"},
            {ReadRole, "read"},
            {NameRole, "name"},
            {CopyProgressRole, "copyProgress"}};
}

void RecordingListModel::setRows(const QList<FileListItem> &rows)
{
    const bool counted = rows.size() != m_rows.size();
    beginResetModel();
    m_rows = rows;
    endResetModel();
    if (counted)
        emit countChanged();
    const bool unfinished = std::any_of(m_rows.cbegin(), m_rows.cend(),
                                        [](const FileListItem &row) { return row.needsRebuild(); });
    publish(this, m_hasUnfinished, unfinished, &RecordingListModel::hasUnfinishedChanged);
}

void RecordingListModel::updateRow(const FileListItem &item)
{
    const std::optional<qsizetype> at = indexOf(item.id);
    if (!at)
        return;
    m_rows[*at] = item;
    const QModelIndex changed = index(static_cast<int>(*at));
    emit dataChanged(changed, changed);
}

void RecordingListModel::updateRows(const std::function<bool(qsizetype, FileListItem &)> &change)
{
    std::optional<qsizetype> runStart;
    for (qsizetype i = 0; i <= m_rows.size(); ++i) {
        const bool changed = i < m_rows.size() && change(i, m_rows[i]);
        if (changed && !runStart)
            runStart = i;
        if (!changed && runStart) {
            emit dataChanged(index(static_cast<int>(*runStart)), index(static_cast<int>(i - 1)));
            runStart.reset();
        }
    }
}

void RecordingListModel::setCopying(const QUuid &id, double progress)
{
    const QUuid before = std::exchange(m_copyingId, id);
    m_copyProgress = progress;
    if (before != id)
        rowChanged(before);
    rowChanged(id);
}

void RecordingListModel::rowChanged(const QUuid &id)
{
    if (id.isNull())
        return;
    if (const std::optional<qsizetype> at = indexOf(id)) {
        const QModelIndex changed = index(static_cast<int>(*at));
        emit dataChanged(changed, changed, {CopyProgressRole});
    }
}

std::optional<qsizetype> RecordingListModel::indexOf(const QUuid &id) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == id)
            return i;
    }
    return std::nullopt;
}

} // namespace korvane
