#include "gpxtrack.h"
#include "identity.h"
#include "metadataextraction.h"
#include "processmanager.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

using namespace korvane;

namespace {

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void writeError(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

bool isUnreadable(const MediaRecords &records)
{
    return records.size() == 1 && records.first().contains(QStringLiteral("error"));
}

int printMetadata(const QString &path)
{
    const MediaRecords records = extractMediaRecords(path);
    writeOut(mediaRecordsJson(records));
    return isUnreadable(records) ? 1 : 0;
}

int printGpx(const QString &path)
{
    const MediaRecords records = extractMediaRecords(path);
    if (isUnreadable(records)) {
        writeError(QStringLiteral("korvane-cli: cannot read %1").arg(path));
        return 1;
    }
    writeOut(gpxTrack(records, QFileInfo(path).fileName()));
    return 0;
}

// The card's recordings as the viewer lists them, read through durnix from a card or an image.
int printCardList(const QString &device)
{
    ProcessManager manager;
    manager.setHelperRoot(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    manager.setRawDevicePath(device);
    const QList<FileListItem> recordings = QCoro::waitFor(manager.loadCardFiles());
    QByteArray out;
    for (const FileListItem &item : recordings)
        out += item.type.toUtf8() + '\t' + item.name.toUtf8() + '\t' +
               QByteArray::number(item.size) + '\n';
    out += "active channels: " + QByteArray::number(manager.activeChannelCount()) + '\n';
    writeOut(out);
    return manager.bbox().isEmpty() && recordings.isEmpty() ? 1 : 0;
}

void printUsage()
{
    writeError(
        QStringLiteral("%1 %2 (%3)\n"
                       "usage: korvane-cli metadata FILE   the recording's records as JSON\n"
                       "       korvane-cli gpx FILE        the recording's GPS fixes as GPX 1.1")
            .arg(appName(), appVersion(), appBuild()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == u"metadata")
        return printMetadata(args[1]);
    if (args.size() == 2 && args[0] == u"gpx")
        return printGpx(args[1]);
    if (args.size() == 3 && args[0] == u"card" && args[1] == u"list")
        return printCardList(args[2]);
    printUsage();
    return 2;
}
