#include "card/processmanager.h"

#include "base/applog.h"
#include "card/cardvolume.h"
#include "card/diskservice.h"
#include "card/privatefolder.h"
#include "card/shell.h"
#include "card/shellquote.h"
#include "card/workingfolder.h"

#include <QCoroSignal>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUuid>

#include <sys/stat.h>

#include <limits>
#include <vector>

namespace korvane {

const QStringList ProcessManager::recordingTypes{"normal", "event", "park", "manual", "saved"};

ProcessManager::ProcessManager(QObject *parent) : QObject(parent), m_conversions(m_tools) {}

void ProcessManager::setRawDevicePath(const QString &path)
{
    if (path == m_rawDevicePath)
        return;
    m_rawDevicePath = path;
    ++m_insertion;
    m_openedCard = QDBusUnixFileDescriptor();
    m_cardOpenProblem.clear();
    m_cardOpenAnswered = false;
}

bool ProcessManager::readsThroughDiskService() const
{
    return !m_tools.usesCardImage() && m_tools.cardAccess() == ToolSet::CardAccess::DiskService &&
           m_rawDevicePath.startsWith(QLatin1String("/dev/"));
}

QString ProcessManager::durnixPath() const
{
    // An image, and a card UDisks2 opened, are read with the user's own rights (a set-user-ID
    // durnix would refuse an image); any other device needs the checked root-owned copy.
    const bool ownRights = m_tools.usesCardImage() || readsThroughDiskService() ||
                           !m_rawDevicePath.startsWith(QLatin1String("/dev/"));
    return ownRights ? m_tools.helperRoot() + QStringLiteral("durnix")
                     : m_tools.privilegedToolPath();
}

QString ProcessManager::durnixCommand(const QString &operation, const QString &cardPath) const
{
    // Every argument that comes from data is quoted: card names are anyone's to choose.
    const QString source = readsThroughDiskService()
                               ? QStringLiteral("--fd %1").arg(Shell::handedDescriptor)
                               : shellQuoted(m_rawDevicePath);
    return shellQuoted(durnixPath()) + QLatin1Char(' ') + operation + QLatin1Char(' ') + source +
           QLatin1Char(' ') + QString::number(offset) + QLatin1Char(' ') + shellQuoted(cardPath);
}

QCoro::Task<bool> ProcessManager::cardOpened()
{
    while (m_openingCard)
        co_await qCoro(this, &ProcessManager::cardOpeningSettled);
    if (m_cardOpenAnswered)
        co_return m_openedCard.isValid();
    // One prompt per insertion: every later listing and copy of the card reads through the same
    // descriptor, and a refusal stands until the card is inserted again. An answer that comes
    // after the card went (even if it came back under the same name) is for no card.
    const QString device = m_rawDevicePath;
    const quint64 insertion = m_insertion;
    m_openingCard = true;
    QCoro::Task<OpenedCard> opening = DiskService::openForReading(device);
    const OpenedCard card = co_await opening;
    m_openingCard = false;
    const bool current = insertion == m_insertion;
    if (current) {
        m_openedCard = card.descriptor;
        m_cardOpenProblem = card.problem;
        m_cardOpenAnswered = true;
        if (!card.problem.isEmpty())
            appLog(logCard, "[ProcessManager] UDisks2 did not open", device, "->", card.problem);
    }
    emit cardOpeningSettled();
    const bool opened = current && m_openedCard.isValid();
    co_return opened;
}

QCoro::Task<int> ProcessManager::runDurnix(QString command, Shell::OutputHandler onOutput,
                                           Shell::Priority priority)
{
    if (!readsThroughDiskService()) {
        QCoro::Task<int> running = Shell::runAsync(command, onOutput, priority);
        co_return co_await running;
    }
    QCoro::Task<bool> opening = cardOpened();
    if (!co_await opening) {
        onOutput(QStringLiteral("cannot read %1 through UDisks2: %2\n")
                     .arg(m_rawDevicePath, m_cardOpenProblem.isEmpty()
                                               ? QStringLiteral("the card went away")
                                               : m_cardOpenProblem));
        co_return 1;
    }
    QCoro::Task<int> running =
        Shell::runAsyncHandingOver(command, onOutput, m_openedCard.fileDescriptor(), priority);
    co_return co_await running;
}

QCoro::Task<QList<CardEntry>> ProcessManager::listCardFolder(QString folder)
{
    if (m_rawDevicePath.isEmpty())
        co_return QList<CardEntry>{};
    if (durnixPath().isEmpty()) {
        appLog(logCard, "[ProcessManager] no durnix with the rights to read", m_rawDevicePath);
        co_return QList<CardEntry>{};
    }
    emit readingCardFolder(folder);
    QString output;
    QCoro::Task<int> listing = runDurnix(durnixCommand(QStringLiteral("ls"), folder),
                                         [&](const QString &chunk) { output += chunk; });
    co_await listing;
    if (m_cardProblem.isEmpty()) {
        // Every line that is no entry is a complaint: durnix's, or the shell's when durnix could
        // not run.
        static const QRegularExpression complaint(QStringLiteral("^(?!\\d+ )(?:durnix: )?(.+)$"),
                                                  QRegularExpression::MultilineOption);
        const QRegularExpressionMatch first = complaint.match(output);
        if (first.hasMatch()) {
            m_cardProblem = first.captured(1);
            emit cardProblemChanged();
        }
    }
    co_return parseCardListing(output);
}

QCoro::Task<> ProcessManager::readCardFile(QString cardPath, Shell::Priority priority)
{
    m_lastReadProblem.clear();
    if (m_rawDevicePath.isEmpty() || durnixPath().isEmpty() || !m_tools.workingFolderReady())
        co_return;
    const QString local = WorkingFolder::tempRoot() + cardPath;
    const QString command =
        durnixCommand(QStringLiteral("read"), cardPath) + QLatin1Char(' ') + shellQuoted(local);
    QString output;
    QCoro::Task<int> reading = runDurnix(
        command, [&](const QString &chunk) { output += chunk; }, priority);
    const int status = co_await reading;
    // Only what durnix copied whole is the card's file: a failed read leaves whatever was there,
    // which is then no copy of the card's.
    if (status == 0)
        recordCopy(local);
    else
        m_copies.remove(local);
    // durnix says nothing when it copied the file: what it says is why not.
    m_lastReadProblem = output.trimmed().section(QLatin1Char('\n'), 0, 0);
}

QCoro::Task<SalvagedCopy> ProcessManager::salvageCardFile(QString cardPath, QString localPath)
{
    SalvagedCopy copy;
    if (m_rawDevicePath.isEmpty() || durnixPath().isEmpty() || localPath.isEmpty())
        co_return copy;
    const QString command = durnixCommand(QStringLiteral("read --salvage"), cardPath) +
                            QLatin1Char(' ') + shellQuoted(localPath);
    QString output;
    QCoro::Task<int> salvaging = runDurnix(command, [&](const QString &chunk) { output += chunk; });
    co_await salvaging;
    // durnix ends by saying how much was lost: "durnix: PATH: N bytes lost".
    static const QRegularExpression lost(QStringLiteral(R"(: (\d+) bytes lost$)"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch said = lost.match(output);
    copy.size = static_cast<qint64>(WorkingFolder::fileSize(localPath, false));
    copy.lost = said.hasMatch() ? said.captured(1).toLongLong() : 0;
    co_return copy;
}

std::optional<ProcessManager::CopyStamp> ProcessManager::stampOf(const QString &path)
{
    struct stat st
    {
    };
    if (lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return CopyStamp{static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino), st.st_size,
                     qint64{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

void ProcessManager::recordCopy(const QString &path)
{
    if (const std::optional<CopyStamp> stamp = stampOf(path))
        m_copies.insert(path, *stamp);
    else
        m_copies.remove(path);
}

bool ProcessManager::isOwnCopy(const QString &path) const
{
    const auto recorded = m_copies.constFind(path);
    return recorded != m_copies.cend() && stampOf(path) == *recorded;
}

QCoro::Task<> ProcessManager::readSettingsFiles()
{
    // Listings are named before they are walked: GCC 12 mishandles co_await in a range-for.
    // Only the files the viewer reads are copied: a card's "cfg" may hold anything.
    const QList<CardEntry> settingsFiles = co_await listCardFolder(QStringLiteral("cfg"));
    for (const CardEntry &entry : settingsFiles) {
        if (entry.name.startsWith(QLatin1String("cfg")))
            continue;
        m_bbox.append(entry.name);
        if (entry.name == u"bbox.ini" || entry.name == u"bbox.cfg")
            co_await readCardTextFile(QStringLiteral("cfg/"), entry);
    }
    emit bboxChanged();

    const std::optional<QString> ini = readLocalConfig(QStringLiteral("bbox.ini"));
    const std::optional<QString> cfg = readLocalConfig(QStringLiteral("bbox.cfg"));
    if (cfg || ini)
        offerSettingsToVolume(cfg ? *cfg : *ini);
    if (ini) {
        m_activeChannelCount = activeChannels(*ini);
        emit activeChannelCountChanged();
    }
}

QCoro::Task<> ProcessManager::readListFiles()
{
    const QList<CardEntry> listFiles = co_await listCardFolder(QStringLiteral("mov"));
    for (const CardEntry &entry : listFiles) {
        if (!entry.name.startsWith(QLatin1String("flist")))
            continue;
        m_data.append(entry.name);
        co_await readCardTextFile(QStringLiteral("mov/"), entry);
    }
    emit dataChanged();
}

QCoro::Task<QList<FileListItem>> ProcessManager::loadCardFiles()
{
    m_bbox.clear();
    m_data.clear();
    m_cardProblem.clear();
    emit bboxChanged();
    emit dataChanged();
    emit cardProblemChanged();
    if (!m_tools.workingFolderReady())
        co_return QList<FileListItem>{};
    WorkingFolder::removeInBackground({QStringLiteral("cfg"), QStringLiteral("mov")});
    m_copies.removeIf([](const auto &copy) {
        return copy.key().startsWith(WorkingFolder::tempRoot() + QStringLiteral("cfg/")) ||
               copy.key().startsWith(WorkingFolder::tempRoot() + QStringLiteral("mov/"));
    });
    for (const char *folder : {"cfg", "mov"}) {
        QString why;
        if (!makeSubfolders(WorkingFolder::tempRoot(), QLatin1String(folder), &why))
            appLog(logCard, "[FileExtractor]", why);
    }

    // The settings, the list files and the five recording folders are read side by side: each
    // listing and each read is a durnix run of its own, mostly spent starting it.
    QCoro::Task<> settings = readSettingsFiles();
    QCoro::Task<> lists = readListFiles();
    std::vector<QCoro::Task<QList<CardEntry>>> listings;
    for (const QString &type : recordingTypes) {
        QString why;
        if (!makeSubfolders(WorkingFolder::tempRoot(), QStringLiteral("mov/") + type, &why))
            appLog(logCard, "[FileExtractor]", why);
        listings.push_back(listCardFolder(QStringLiteral("mov/") + type));
    }
    co_await settings;
    co_await lists;
    QList<FileListItem> recordings;
    for (qsizetype t = 0; t < recordingTypes.size(); ++t) {
        const QString &type = recordingTypes[t];
        const QList<CardEntry> entries = co_await listings[static_cast<size_t>(t)];
        for (const CardEntry &entry : entries) {
            if (entry.name.startsWith(QLatin1String("mov")) ||
                entry.name.contains(QLatin1Char('/')))
                continue;
            // A size beyond what a count holds is still a claim, as large as one can be.
            bool ok = false;
            const quint64 size = entry.size.toULongLong(&ok);
            const qint64 claimed = size > quint64{std::numeric_limits<qint64>::max()}
                                       ? std::numeric_limits<qint64>::max()
                                       : static_cast<qint64>(size);
            recordings.append(
                {QUuid::createUuid(), type, entry.name, ok ? claimed : 0, 0, false, false});
        }
    }
    co_return recordings;
}

QCoro::Task<> ProcessManager::readCardTextFile(QString folder, CardEntry entry)
{
    // Only as small as such files are: a card file can claim any size.
    bool ok = false;
    if (entry.size.toULongLong(&ok) > largestCardTextFile || !ok) {
        appLog(logCard, "[ProcessManager]", folder + entry.name, "refused: larger than 1 MiB");
        co_return;
    }
    co_await readCardFile(folder + entry.name);
}

std::optional<QString> ProcessManager::readLocalConfig(const QString &name) const
{
    const QString path = WorkingFolder::tempRoot() + QStringLiteral("cfg/") + name;
    if (!QFileInfo::exists(path)) {
        appLog(logCard, "[FileExtractor] File not found:", path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        appLog(logCard, "[FileExtractor] Error reading file:", file.errorString());
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

std::optional<QString> ProcessManager::getSDCardPath(const QString &relativePath) const
{
    QString volume = m_cardVolume;
    if (volume.isEmpty()) {
        QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
        if (mountInfo.open(QIODevice::ReadOnly))
            volume =
                cardVolumeFromMountInfo(QString::fromUtf8(mountInfo.readAll()), m_rawDevicePath);
    }
    // A folder merely named like a card's volume ("NO NAME") belongs to whatever device carries
    // that label: this card's settings and Wi-Fi password never go there.
    if (volume.isEmpty())
        return std::nullopt;
    return QDir(volume).filePath(relativePath);
}

bool ProcessManager::saveToSDCard(const QString &name, const QString &text) const
{
    const std::optional<QString> path = getSDCardPath(name);
    if (!path) {
        appLog(logCard, "[FileExtractor] getSDCardPath failed");
        return false;
    }
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        appLog(logCard, "[FileExtractor] saveToSDCard failed:", file.errorString());
        return false;
    }
    appLog(logCard, "[FileExtractor] saveToSDCard to", *path);
    return true;
}

void ProcessManager::offerSettingsToVolume(const QString &text) const
{
    // A "bbox.cfg" already there holds settings the user saved that the dashcam has not taken
    // yet: it stays. Only a volume without one is given the card's.
    const std::optional<QString> path = getSDCardPath(QStringLiteral("bbox.cfg"));
    if (!path) {
        appLog(logCard, "[FileExtractor] getSDCardPath failed");
        return;
    }
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(*path))
            appLog(logCard, "[FileExtractor]", *path, "kept: the dashcam has not taken it yet");
        else
            appLog(logCard, "[FileExtractor] saveToSDCard failed:", file.errorString());
        return;
    }
    if (file.write(text.toUtf8()) < 0 || !file.flush()) {
        appLog(logCard, "[FileExtractor] saveToSDCard failed:", file.errorString());
        file.remove();
        return;
    }
    appLog(logCard, "[FileExtractor] saveToSDCard to", *path);
}

std::optional<QString> ProcessManager::readSDCard(const QString &name) const
{
    const std::optional<QString> path = getSDCardPath(name);
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        appLog(logCard, "[FileExtractor] readSDCard failed:", file.errorString());
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace korvane
