#pragma once

#include "card/cardlisting.h"
#include "card/conversions.h"
#include "card/shell.h"
#include "card/toolset.h"
#include "records/filelistitem.h"
#include "records/mediarecords.h"

#include <QCoroTask>
#include <QDBusUnixFileDescriptor>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <optional>

namespace korvane {

struct SalvagedCopy
{
    qint64 size = 0; // 0 when nothing could be copied
    qint64 lost = 0;
};

// The viewer's one gateway to the card: it lists and copies the card's files with durnix, reads
// and writes the card's FAT volume, and owns the tool set and the conversions that run on what
// it copied. Main thread only; the card operations suspend while durnix runs.
class ProcessManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList bbox READ bbox NOTIFY bboxChanged)
    Q_PROPERTY(QStringList data READ data NOTIFY dataChanged)
    Q_PROPERTY(int activeChannelCount READ activeChannelCount NOTIFY activeChannelCountChanged)
    Q_PROPERTY(QString cardProblem READ cardProblem NOTIFY cardProblemChanged)

public:
    static constexpr qint64 offset = 104857600; // the card's ext4 file system starts 100 MiB in
    static const QStringList recordingTypes;

    explicit ProcessManager(QObject *parent = nullptr);

    // The largest settings or list file a card load copies: those are a few kilobytes.
    static constexpr quint64 largestCardTextFile = 1 << 20;

    QStringList bbox() const { return m_bbox; }
    QStringList data() const { return m_data; }
    int activeChannelCount() const { return m_activeChannelCount; }
    // The first complaint during the last card load, durnix's ("cannot read card.img: not an
    // ext4 file system at byte 104857600") or the shell's; empty when every folder was read
    // whole.
    QString cardProblem() const { return m_cardProblem; }

    ToolSet &tools() { return m_tools; }
    const ToolSet &tools() const { return m_tools; }
    const Conversions &conversions() const { return m_conversions; }

    QString rawDevicePath() const { return m_rawDevicePath; }
    // Another card (or none) also lets go of the card UDisks2 opened.
    void setRawDevicePath(const QString &path);
    // A folder standing in for the card's FAT volume (a card image has no mounted volume).
    void setCardVolume(const QString &folder) { m_cardVolume = folder; }

    QCoro::Task<QList<FileListItem>> loadCardFiles();
    QCoro::Task<QList<CardEntry>> listCardFolder(QString folder);
    // A copy made ahead of need (`Shell::Priority::background`) yields to everything else.
    QCoro::Task<> readCardFile(QString cardPath,
                               Shell::Priority priority = Shell::Priority::normal);
    // What can be read of a card file that cannot be read whole, copied to `localPath` (a
    // working folder's), the rest zeros: the copy's size and the bytes lost (0 for none).
    QCoro::Task<SalvagedCopy> salvageCardFile(QString cardPath, QString localPath);
    // Why the last readCardFile copied nothing, in durnix's or the shell's words; empty when it
    // said nothing.
    QString lastReadProblem() const { return m_lastReadProblem; }

    // Whether `path` holds the copy that Korvane made there (of the card, by readCardFile, or
    // of a file the user picked, recorded with recordCopy), and nothing has replaced it since:
    // the same file, of the size it had when copied.
    bool isOwnCopy(const QString &path) const;
    void recordCopy(const QString &path);

    std::optional<QString> readLocalConfig(const QString &name) const;
    // The path in this card's FAT volume: the folder given for a card image, else where the
    // card disk's own FAT partition is mounted. Never a volume of another disk that merely
    // carries the same label.
    std::optional<QString> getSDCardPath(const QString &relativePath) const;
    // Writes the file whole into the card volume's root; false (logged) when it is not written.
    bool saveToSDCard(const QString &name, const QString &text) const;
    std::optional<QString> readSDCard(const QString &name) const;

signals:
    void bboxChanged();
    void dataChanged();
    void activeChannelCountChanged();
    void cardProblemChanged();
    // A card load is about to read this card folder ("cfg", "mov", "mov/normal", ...).
    void readingCardFolder(const QString &folder);
    // UDisks2 answered whether the card may be opened.
    void cardOpeningSettled();

private:
    // The privileged durnix for a card device, the user's own copy for a card image.
    QString durnixPath() const;
    QString durnixCommand(const QString &operation, const QString &cardPath) const;
    bool readsThroughDiskService() const;
    // Runs a durnix command line; through UDisks2 the card is opened first (once per card) and
    // handed to durnix.
    QCoro::Task<int> runDurnix(QString command, Shell::OutputHandler onOutput,
                               Shell::Priority priority = Shell::Priority::normal);
    // Whether the card UDisks2 opened is at hand; the first call per card asks UDisks2.
    QCoro::Task<bool> cardOpened();
    // A settings or list file of the card load, copied unless it is too large to be one.
    QCoro::Task<> readCardTextFile(QString folder, CardEntry entry);
    // The card's settings files and list files copied, and what the viewer takes from them.
    QCoro::Task<> readSettingsFiles();
    QCoro::Task<> readListFiles();

    // What the working folder's copies were when Korvane made them, by path.
    struct CopyStamp
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0; // nanoseconds
        friend bool operator==(const CopyStamp &, const CopyStamp &) = default;
    };
    static std::optional<CopyStamp> stampOf(const QString &path);
    // The settings a card load hands to the volume, unless the volume holds some already.
    void offerSettingsToVolume(const QString &text) const;

    ToolSet m_tools;
    Conversions m_conversions;
    QHash<QString, CopyStamp> m_copies;
    QStringList m_bbox;
    QStringList m_data;
    int m_activeChannelCount = 0;
    QString m_rawDevicePath;
    QString m_cardVolume;
    QDBusUnixFileDescriptor m_openedCard; // the card UDisks2 opened, for this insertion
    QString m_cardOpenProblem;            // UDisks2's or polkit's refusal, for this insertion
    bool m_cardOpenAnswered = false;
    bool m_openingCard = false;
    quint64 m_insertion = 0; // counts setRawDevicePath: the same path may be another insertion
    QString m_cardProblem;
    QString m_lastReadProblem;
};

} // namespace korvane
