#pragma once

#include <QString>

#include <optional>

namespace korvane {
class ProcessManager;
}

namespace korvane::cli {

// Why a card image cannot be read; nothing for one that can, and for a card device, which only
// the durnix with root's rights reads.
std::optional<QString> unreadableCard(const QString &card);

// A card load that read nothing, in durnix's words where it gave some.
void complainUnread(const ProcessManager &manager, const QString &card);

// The card layer set up to read CARD: the tools in place, and the rights a card device needs;
// the reason when it cannot be.
std::optional<QString> prepareCard(ProcessManager &manager, const QString &card);

} // namespace korvane::cli
