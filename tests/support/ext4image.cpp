#include "ext4image.h"

#include "testfiles.h"

#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace korvane::test {

namespace {
constexpr qint64 cardOffset = 104857600;
} // namespace

void writeExt4Card(const QString &tree, const QString &image, qint64 bytes)
{
    if (bytes == 0) {
        qint64 files = 0;
        for (QDirIterator it(tree, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            files += QFileInfo(it.next()).size();
        bytes = (files * 5 / 4 / (1 << 20) + 48) << 20;
    }
    const ProgramRun made =
        run(QStringLiteral("/sbin/mke2fs"), {"-q", "-F", "-t", "ext4", "-b", "4096", "-d", tree,
                                             "-E", QStringLiteral("offset=%1").arg(cardOffset),
                                             image, QStringLiteral("%1k").arg(bytes / 1024)});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
}

} // namespace korvane::test
