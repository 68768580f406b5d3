#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

namespace korvane {

// The tools the viewer runs (durnix, ffmpeg, salvex), copied into the user's private tools
// folder, and the way SD cards are read. Main thread only.
class ToolSet : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString setupProblem READ setupProblem NOTIFY setupProblemChanged)

public:
    explicit ToolSet(QObject *parent = nullptr);

    // Why the card cannot be read, in words for the user; empty while nothing stands in the way.
    QString setupProblem() const { return m_setupProblem; }

    QString helperRoot() const { return m_helperRoot; }
    void setHelperRoot(const QString &folder) { m_helperRoot = folder; }
    // Where the tools that come with the viewer are: the build's tools folder, or the installed
    // one.
    QString bundledTools() const;
    void setBundledTools(const QString &folder) { m_bundledTools = folder; }
    bool usesCardImage() const { return m_usesCardImage; }
    void setUsesCardImage(bool image) { m_usesCardImage = image; }

    // The private working and tools folders, then durnix, ffmpeg and salvex copied into the
    // tools folder; no rights needed. False when a folder is refused (see setupProblem).
    QCoro::Task<bool> prepareTools();
    // prepareTools, then a way to read cards (chooseCardAccess): true when there is one. With a
    // card image no rights are needed.
    QCoro::Task<bool> initializeTools();
    // The tools are ready, whether or not cards can be read: recordings on the computer play.
    bool toolsReady() const { return m_toolsReady; }
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

    // The working folder, checked; false (with the problem set) when it is not the user's alone.
    bool workingFolderReady();
    // The command line that runs a tool of the tools folder with `arguments` (quoted already).
    QString toolCommand(const QString &tool, const QString &arguments) const;

signals:
    void setupProblemChanged();

private:
    void setSetupProblem(const QString &problem);

    QString m_helperRoot;
    QString m_bundledTools;
    QString m_privilegedTool;
    QString m_privilegeProblem;  // why there is no privileged durnix
    QString m_cardAccessProblem; // why cards cannot be read at all
    CardAccess m_cardAccess = CardAccess::None;
    QString m_setupProblem;
    bool m_usesCardImage = false;
    bool m_toolsReady = false;
};

} // namespace korvane
