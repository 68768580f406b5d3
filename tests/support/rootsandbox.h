#pragma once

#include "testfiles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

namespace korvane::test {

// What the tests of set-user-ID programs need: root, a `folder` on a file system that honours
// the set-user-ID bit, and private mount namespaces (unshare). Empty when all are there, else
// why not, for the test to skip with.
QString rootSandboxUnavailable(const QString &folder);

// Runs `script` with /bin/sh ("$1"... = `arguments`) as root in a mount namespace of its own:
// whatever it mounts (a stand-in /sys/dev/block, a system folder) vanishes with it.
ProgramRun runWithPrivateMounts(const QString &script, const QStringList &arguments = {});

// `program` with `arguments` as the user nobody, in no group but `groups`: for set-user-ID
// programs, what any user of the machine (or a member of those groups) could start.
QStringList asNobody(const QString &program, const QStringList &arguments,
                     const QList<gid_t> &groups = {});

// A copy of `program` in `folder` owned by root and `group` with `mode` (set-user-ID): what an
// installation makes of durnix.
QString setUserIdCopy(const QString &program, const QString &folder, gid_t group = 0,
                      mode_t mode = 04755);

// The number of a group of this machine, if it has one of that name.
std::optional<gid_t> groupId(const QString &name);

} // namespace korvane::test
