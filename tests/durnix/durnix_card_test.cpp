// durnix on card images written by dashcam-sample, judged against debugfs reading the same image.
#include "samplerecordings.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using korvane::test::sampleCardImage;

using korvane::test::ProgramRun;
using korvane::test::readFile;
using korvane::test::run;
using korvane::test::writeFile;

namespace {

const QString durnix = QStringLiteral(DURNIX_PATH);
const QString offset = QStringLiteral("104857600");

struct Entry
{
    QByteArray inode;
    QByteArray name;
    qint64 size;
};

QByteArray unescaped(const QByteArray &field)
{
    QByteArray name;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            name.append(static_cast<char>(field.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
        } else {
            name.append(field[i]);
        }
    }
    return name;
}

// The listing as the viewer reads it: fields split at runs of blanks, name second, size third.
QList<Entry> list(const QString &image, const QString &folder)
{
    const ProgramRun r = run(durnix, {"ls", image, offset, folder});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    QList<Entry> entries;
    for (const QByteArray &line : r.out.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        EXPECT_EQ(fields.size(), 3) << line.constData();
        if (fields[1] != "." && fields[1] != "..")
            entries.append({fields[0], unescaped(fields[1]), fields[2].toLongLong()});
    }
    return entries;
}

QByteArray debugfsCat(const QString &image, const QByteArray &cardPath)
{
    return run(QStringLiteral("/sbin/debugfs"),
               {"-R", QStringLiteral("cat \"%1\"").arg(QString::fromUtf8(cardPath)),
                image + "?offset=" + offset})
        .out;
}

} // namespace

TEST(DurnixCard, ListsEveryFolderAndCopiesEveryFileExactly)
{
    const QString image = sampleCardImage({"--seconds", "1"});
    ASSERT_FALSE(image.isEmpty());
    QTemporaryDir local;

    QStringList cfg;
    for (const Entry &e : list(image, QStringLiteral("cfg")))
        cfg << QString::fromUtf8(e.name);
    EXPECT_EQ(cfg, (QStringList{"bbox.cfg", "bbox.ini"}));

    int flists = 0;
    for (const Entry &e : list(image, QStringLiteral("mov")))
        flists += e.name.startsWith("flist") && e.inode.toUInt() > 0;
    EXPECT_EQ(flists, 5);

    int recordings = 0;
    for (const char *type : {"normal", "event", "park", "manual", "saved"}) {
        const QString folder = QStringLiteral("mov/") + QLatin1String(type);
        for (const Entry &e : list(image, folder)) {
            const QByteArray cardPath = folder.toUtf8() + "/" + e.name;
            const QString copy = local.filePath(QString::fromUtf8(e.name));
            const ProgramRun r =
                run(durnix, {"read", image, offset, QString::fromUtf8(cardPath), copy});
            EXPECT_EQ(r.exitCode, 0) << r.err.constData();
            const QByteArray bytes = readFile(copy);
            EXPECT_EQ(bytes.size(), e.size) << cardPath.constData();
            EXPECT_TRUE(bytes == debugfsCat(image, cardPath)) << cardPath.constData();
            ++recordings;
        }
    }
    EXPECT_EQ(recordings, 6);
    EXPECT_EQ(QDir(local.path())
                  .entryList(QDir::Hidden | QDir::Files)
                  .filter(QStringLiteral(".durnix-"))
                  .size(),
              0);
}

TEST(DurnixCard, CorruptedImagesEndWithAClearErrorNotACrash)
{
    const QString image = sampleCardImage({"--seconds", "1"});
    ASSERT_FALSE(image.isEmpty());
    // The folder's first block, where debugfs finds it.
    const QByteArray blocks = run(QStringLiteral("/sbin/debugfs"),
                                  {"-R", "blocks mov/normal", image + "?offset=" + offset})
                                  .out;
    const qint64 folderBlock = blocks.trimmed().split(' ').first().toLongLong();
    ASSERT_GT(folderBlock, 0);

    const struct
    {
        const char *part;
        qint64 at;
    } damage[] = {
        {"superblock", 104857600 + 1024 + 0x30},
        {"group descriptors", 104857600 + 4096},
        {"directory block", 104857600 + folderBlock * 4096 + 12},
    };
    QTemporaryDir work;
    for (const auto &d : damage) {
        const QString broken = work.filePath(QStringLiteral("broken.img"));
        QFile::remove(broken);
        ASSERT_TRUE(QFile::copy(image, broken));
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(d.at);
        QByteArray bytes = file.read(64);
        for (char &c : bytes)
            c = static_cast<char>(~c);
        file.seek(d.at);
        file.write(bytes);
        file.close();

        for (const QStringList &args :
             {QStringList{"ls", broken, offset, "mov/normal"},
              QStringList{"read", broken, offset, "mov/normal/N_20241005_143012.mp4",
                          work.filePath(QStringLiteral("out.mp4"))}}) {
            const ProgramRun r = run(durnix, args);
            EXPECT_GT(r.exitCode, 0) << d.part << ": " << args.first().toStdString();
            EXPECT_TRUE(r.err.startsWith("durnix: ")) << d.part << ": " << r.err.constData();
        }
        EXPECT_FALSE(QFileInfo::exists(work.filePath(QStringLiteral("out.mp4")))) << d.part;
    }
}

TEST(DurnixCard, FailedCopyLeavesTheOldFileAndNoPartialOne)
{
    const QString image = sampleCardImage({"--seconds", "1"});
    QTemporaryDir local;
    const QString destination = local.filePath(QStringLiteral("bbox.ini"));
    writeFile(destination, "old settings");

    const ProgramRun missing = run(durnix, {"read", image, offset, "cfg/missing.ini", destination});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(readFile(destination), "old settings");
    EXPECT_EQ(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    const ProgramRun copied = run(durnix, {"read", image, offset, "cfg/bbox.ini", destination});
    EXPECT_EQ(copied.exitCode, 0);
    EXPECT_TRUE(readFile(destination).startsWith("[bbox]\nch1_resol="));
}
