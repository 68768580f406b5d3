#include "gpxtrack.h"
#include "identity.h"
#include "metadataextraction.h"

#include <QCoreApplication>
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
    printUsage();
    return 2;
}
