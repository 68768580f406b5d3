#include "cardlisting.h"
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

// Card names are the card's to choose: nothing they hold may act on the terminal or hide.
QByteArray printable(const QString &text)
{
    QByteArray shown;
    for (const char32_t c : text.toUcs4()) {
        const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
        if (isShownInCardName(c) || c == U'/' || c == U'\\') {
            shown += bytes;
            continue;
        }
        for (const char byte : bytes)
            shown += '\\' + QByteArray::number(static_cast<uchar>(byte), 8).rightJustified(3, '0');
    }
    return shown;
}

// The card's recordings as the viewer lists them, read through durnix from a card or an image:
// a card device through the privileged durnix, an image with the user's own rights.
int printCardList(const QString &device)
{
    ProcessManager manager;
    const bool cardDevice = device.startsWith(QLatin1String("/dev/"));
    manager.setUsesCardImage(!cardDevice);
    if (!QCoro::waitFor(manager.prepareTools())) {
        writeError(QStringLiteral("korvane-cli: ") + manager.setupProblem());
        return 1;
    }
    if (cardDevice && !manager.checkPrivilege(QStringLiteral("durnix"))) {
        writeError(QStringLiteral("korvane-cli: durnix cannot read SD cards yet; run "
                                  "'korvane-cli setup' first"));
        return 1;
    }
    manager.setRawDevicePath(device);
    const QList<FileListItem> recordings = QCoro::waitFor(manager.loadCardFiles());
    if (!manager.setupProblem().isEmpty()) {
        writeError(QStringLiteral("korvane-cli: ") + manager.setupProblem());
        return 1;
    }
    QByteArray out;
    for (const FileListItem &item : recordings)
        out += printable(item.type) + '\t' + printable(item.name) + '\t' +
               QByteArray::number(item.size) + '\n';
    out += "active channels: " + QByteArray::number(manager.activeChannelCount()) + '\n';
    writeOut(out);
    return manager.bbox().isEmpty() && recordings.isEmpty() ? 1 : 0;
}

// The viewer's tool set-up from the command line: tools folder, working folder and a durnix
// that can read SD cards, with the administrator prompt when one is needed.
int setUp()
{
    ProcessManager manager;
    if (!QCoro::waitFor(manager.initializeTools())) {
        writeError(QStringLiteral("korvane-cli: ") + manager.setupProblem());
        return 1;
    }
    writeOut("durnix can read SD cards: " + manager.privilegedToolPath().toUtf8() + '\n');
    return 0;
}

void printUsage()
{
    writeError(QStringLiteral(
                   "%1 %2 (%3)\n"
                   "usage: korvane-cli metadata FILE   the recording's records as JSON\n"
                   "       korvane-cli gpx FILE        the recording's GPS fixes as GPX 1.1\n"
                   "       korvane-cli card list CARD  the recordings of a card device or image\n"
                   "       korvane-cli setup           let durnix read SD cards (asks for the "
                   "administrator's password)")
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
    if (args.size() == 1 && args[0] == u"setup")
        return setUp();
    printUsage();
    return 2;
}
