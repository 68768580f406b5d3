#include "services/workingcopy.h"

#include "card/processmanager.h"
#include "card/workingfolder.h"
#include "services/workingfiles.h"

namespace korvane {

QString localCopy(const FileListItem &item)
{
    if (item.fromComputer)
        return WorkingFolder::tempRoot() + QStringLiteral("work/picked/") + item.type +
               QLatin1Char('/') + item.name;
    return WorkingFolder::tempRoot() + item.cardPath();
}

bool hasOwnCopy(const ProcessManager &card, const FileListItem &item)
{
    return card.isOwnCopy(localCopy(item)) && fileBytes(localCopy(item)) != 0;
}

} // namespace korvane
