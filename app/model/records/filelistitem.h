#pragma once

#include <QString>
#include <QUuid>

namespace korvane {

// One recording of the card's list. `type` names its card folder, "mov/" + type + "/".
struct FileListItem
{
    QUuid id;
    QString type; // "normal", "event", "park", "manual" or "saved"
    QString name;
    quint64 size = 0;
    int read = 0;
    bool isChecked = false;
    bool isSelected = false;
};

} // namespace korvane
