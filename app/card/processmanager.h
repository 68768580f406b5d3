#pragma once

#include "card/cardlisting.h"
#include "card/shell.h"
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

// The viewer's one gateway to the card, its own working folders and the external tools.
// Main thread only; the card operations suspend while durnix runs.
class ProcessManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList bbox READ bbox NOTIFY bboxChanged)
    Q_PROPERTY(QStringList data READ data NOTIFY dataChanged)
    Q_PROPERTY(int activeChannelCount READ activeChannelCount NOTIFY activeChannelCountChanged)
    Q_PROPERTY(QString setupProblem READ setupProblem NOTIFY setupProblemChanged)
    Q_PROPERTY(QString cardProblem READ cardProblem NOTIFY cardProblemChanged)

public:
    static constexpr qint64 offset = 104857600; // the card's ext4 file system starts 100 MiB in
    static const QStringList recordingTypes;

    explicit ProcessManager(QObject *parent = nullptr);

    // The working folder: the user's own cache folder + appName + "/". It is used only while it
    // is the user's alone (checked before every card load and copy).
    static QString tempRoot();
    // Another working folder for this process, before anything is copied (korvane-cli keeps out
    // of a running viewer's way with a folder of its own).
    static void useWorkingFolder(const QString &folder);
    // A folder of the working folder for Korvane's own files of one kind ("open", "download",
    // "picked", ...), made when missing: beside the card's copies ("cfg/", "mov/"), never among
    // them, so that no file of the card can take a working file's name. Ends with "/"; empty
    // when it cannot be made.
    static QString workFolder(const QString &purpose);
    // The largest settings or list file a card load copies: those are a few kilobytes.
    static constexpr quint64 largestCardTextFile = 1 << 20;

    QStringList bbox() const { return m_bbox; }
    QStringList data() const { return m_data; }
    int activeChannelCount() const { return m_activeChannelCount; }
    // Why the card cannot be read, in words for the user; empty while nothing stands in the way.
    QString setupProblem() const { return m_setupProblem; }
    // The first complaint during the last card load, durnix's ("cannot read card.img: not an
    // ext4 file system at byte 104857600") or the shell's; empty when every folder was read
    // whole.
    QString cardProblem() const { return m_cardProblem; }

    QString helperRoot() const { return m_helperRoot; }
    void setHelperRoot(const QString &folder) { m_helperRoot = folder; }
    QString rawDevicePath() const { return m_rawDevicePath; }
    // Another card (or none) also lets go of the card UDisks2 opened.
    void setRawDevicePath(const QString &path);
    // A folder standing in for the card's FAT volume (a card image has no mounted volume).
    void setCardVolume(const QString &folder) { m_cardVolume = folder; }

    QCoro::Task<QList<FileListItem>> loadCardFiles();
    QCoro::Task<QList<CardEntry>> listCardFolder(QString folder);
    QCoro::Task<> readCardFile(QString cardPath);
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

    static void ensureDirectoryExists(const QString &path);
    // Removes folders of the working folder without waiting for the disk: they are renamed
    // aside at once and deleted on a worker.
    static void removeInBackground(const QStringList &folders);
    static void deleteDirectory(const QString &path);
    static quint64 fileSize(const QString &path, bool relativeToTempRoot);
    static std::optional<QList<VideoChannel>> getVideoInfo(const QString &path);

    // The private working and tools folders, then durnix, ffmpeg and salvex copied into the
    // tools folder; no rights needed. False when a folder is refused (see setupProblem).
    QCoro::Task<bool> prepareTools();
    // prepareTools, then a way to read cards (chooseCardAccess): true when there is one. With a
    // card image no rights are needed.
    QCoro::Task<bool> initializeTools();
    // Copies a tool that comes with the viewer into helperRoot unless the same file is there.
    QCoro::Task<> installTool(QString name);

    // How an SD card is read: by the package's set-user-ID durnix, which the user may run as a
    // member of the group plugdev (no prompt); else through UDisks2, which opens the card after
    // the administrator's answer and hands the descriptor to the user's own durnix.
    enum class CardAccess
    {
        None,
        SetUserIdTool,
        DiskService
    };
    // Picks the first of the two that is there; false (with the problem set) when neither is.
    bool chooseCardAccess();
    CardAccess cardAccess() const { return m_cardAccess; }
    // Which way cards are read and why, for `korvane-cli setup`.
    QString cardAccessDescription() const;
    // The folder of the tools folder where the package puts durnix set-user-ID root for the
    // group plugdev; the plain durnix beside the other tools serves everybody else.
    static constexpr const char *privilegedFolder = "privileged/";
    // True when the privileged durnix is root-owned in root-owned folders, set-user-ID, and this
    // user may run it. Cards are read through exactly the file checked here (privilegedToolPath).
    bool checkPrivilege(const QString &name);
    QString privilegedToolPath() const { return m_privilegedTool; }
    // Where the tools that come with the viewer are: the build's tools folder, or the installed
    // one.
    QString bundledTools() const;
    void setBundledTools(const QString &folder) { m_bundledTools = folder; }
    void setUsesCardImage(bool image) { m_usesCardImage = image; }

    // Copies and moves on a worker thread; a failed copy leaves the destination as it was.
    static QCoro::Task<bool> copyFile(QString source, QString destination);
    static QCoro::Task<> renameFile(QString source, QString destination);

    // Conversion and recovery: each deletes its output first and runs its tool through the shell.
    // The remux gives "Failed to remux MP4 file." without an output, ffmpeg's parameter-set
    // complaints when there are any, else nothing.
    QCoro::Task<std::optional<QString>> remuxVideo(QString input, QString output);
    QCoro::Task<> convertAudio(QString input, QString output);
    QCoro::Task<> extractChannelWithAudio(QString input, int channel, QString output);
    QCoro::Task<> extractChannel(QString input, int channel, QString output);
    QCoro::Task<> mergeAudio(QString video, QString audio, QString output);
    // False when the recording has no channel table (salvex is then not run).
    QCoro::Task<bool> recoverVideo(QString input, QString output);
    // Why Korvane's own player would not show `path` (korvane-playcheck asked, from the tools
    // that come with the viewer); nothing when every camera shows its first picture.
    QCoro::Task<std::optional<QString>> playerProblem(QString path);

    // ffmpeg's "sps_id N out of range" / "pps_id N out of range" lines, sorted and without
    // duplicates, joined by line breaks; nothing when there are none.
    static std::optional<QString> findParameterSetErrors(const QString &text);
    // " --ch1 1920x1080@30 --ch2 ..." for salvex, one option per channel of the table.
    static QString salvexChannelOptions(const QList<VideoChannel> &channels);

signals:
    void bboxChanged();
    void dataChanged();
    void activeChannelCountChanged();
    void setupProblemChanged();
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
    QCoro::Task<int> runDurnix(QString command, Shell::OutputHandler onOutput);
    // Whether the card UDisks2 opened is at hand; the first call per card asks UDisks2.
    QCoro::Task<bool> cardOpened();
    // The working folder, checked; false (with the problem set) when it is not the user's alone.
    bool workingFolderReady();
    // A settings or list file of the card load, copied unless it is too large to be one.
    QCoro::Task<> readCardTextFile(QString folder, CardEntry entry);
    void setSetupProblem(const QString &problem);
    QString toolCommand(const QString &tool, const QString &arguments) const;
    QCoro::Task<> runFfmpeg(QString output, QString arguments);

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

    QHash<QString, CopyStamp> m_copies;
    QStringList m_bbox;
    QStringList m_data;
    int m_activeChannelCount = 0;
    QString m_helperRoot;
    QString m_rawDevicePath;
    QString m_cardVolume;
    QString m_bundledTools;
    QString m_privilegedTool;
    QString m_privilegeProblem;  // why there is no privileged durnix
    QString m_cardAccessProblem; // why cards cannot be read at all
    CardAccess m_cardAccess = CardAccess::None;
    QDBusUnixFileDescriptor m_openedCard; // the card UDisks2 opened, for this insertion
    QString m_cardOpenProblem;            // UDisks2's or polkit's refusal, for this insertion
    bool m_cardOpenAnswered = false;
    bool m_openingCard = false;
    quint64 m_insertion = 0; // counts setRawDevicePath: the same path may be another insertion
    QString m_setupProblem;
    QString m_cardProblem;
    QString m_lastReadProblem;
    bool m_usesCardImage = false;
};

} // namespace korvane
