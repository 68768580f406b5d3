#pragma once

#include "testfiles.h"

#include <QString>
#include <QStringList>

namespace korvane::test {

// What the tests of set-user-ID programs need: root, a `folder` on a file system that honours
// the set-user-ID bit, and private mount namespaces (unshare). Empty when all are there, else
// why not, for the test to skip with.
QString rootSandboxUnavailable(const QString &folder);

// Runs `script` with /bin/sh ("$1"... = `arguments`) as root in a mount namespace of its own:
// whatever it mounts (a stand-in /sys/dev/block, a system folder) vanishes with it.
ProgramRun runWithPrivateMounts(const QString &script, const QStringList &arguments = {});

// `program` with `arguments` as the user nobody, without groups: for set-user-ID programs, what
// any user of the machine could start.
QStringList asNobody(const QString &program, const QStringList &arguments);

// A root-owned copy of `program` in `folder` with the set-user-ID bit: what an installation
// makes of durnix.
QString setUserIdCopy(const QString &program, const QString &folder);

} // namespace korvane::test
