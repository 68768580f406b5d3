// How the commands that read a card reach it: a device through the durnix the set-up chose, an
// image with the user's own rights.
#include "cli/cardaccess.h"

#include "card/processmanager.h"
#include "cli/commands.h"
#include "cli/output.h"

#include <QCoroTask>
#include <QFileInfo>

#include <sys/stat.h>

namespace korvane::cli {

namespace {

// A card is a block device, read through the durnix with root's rights; anything else is taken
// for a card image, read with the user's own.
bool isCardDevice(const QString &card)
{
    struct stat st
    {
    };
    return stat(QFile::encodeName(card).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

} // namespace

// Why a card image cannot be read; nothing for one that can, and for a card device, which only
// the durnix with root's rights reads.
std::optional<QString> unreadableCard(const QString &card)
{
    if (isCardDevice(card))
        return std::nullopt;
    if (QFileInfo(card).isDir())
        return QStringLiteral("a folder, not a card or card image");
    return unreadableRecording(card);
}

// A card load that read nothing, in durnix's words where it gave some.
void complainUnread(const ProcessManager &manager, const QString &card)
{
    complain(
        manager.cardProblem().isEmpty()
            ? QStringLiteral("cannot read %1: no dashcam settings or recordings on it").arg(card)
            : QString::fromUtf8(printable(manager.cardProblem())));
}

// The card layer set up to read CARD: the tools in place, and the rights a card device needs;
// the reason when it cannot be.
std::optional<QString> prepareCard(ProcessManager &manager, const QString &card)
{
    const bool device = isCardDevice(card);
    manager.tools().setUsesCardImage(!device);
    if (!QCoro::waitFor(manager.tools().prepareTools()))
        return manager.tools().setupProblem();
    if (device && !manager.tools().chooseCardAccess())
        return manager.tools().cardAccessDescription();
    manager.setRawDevicePath(card);
    return std::nullopt;
}

} // namespace korvane::cli
