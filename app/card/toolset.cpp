#include "card/toolset.h"

#include "base/applog.h"
#include "base/identity.h"
#include "card/diskservice.h"
#include "card/privatefolder.h"
#include "card/rootonlypath.h"
#include "card/shellquote.h"
#include "card/workingfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace korvane {

namespace {

// A file that can run (not a folder, which counts as executable too).
bool isProgram(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// The same bytes: a tool of the same size from another build is still another tool.
bool sameFile(const QString &a, const QString &b)
{
    QFile first(a), second(b);
    if (first.size() != second.size() || !first.open(QIODevice::ReadOnly) ||
        !second.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 piece = 1 << 20;
    while (!first.atEnd()) {
        if (first.read(piece) != second.read(piece))
            return false;
    }
    return first.error() == QFileDevice::NoError && second.error() == QFileDevice::NoError;
}

} // namespace

ToolSet::ToolSet(QObject *parent) : QObject(parent) {}

void ToolSet::setSetupProblem(const QString &problem)
{
    if (problem == m_setupProblem)
        return;
    m_setupProblem = problem;
    emit setupProblemChanged();
}

bool ToolSet::workingFolderReady()
{
    const QString problem = preparePrivateFolder(WorkingFolder::tempRoot());
    if (problem.isEmpty())
        return true;
    appLog(logCard, "[FileExtractor] working folder refused:", problem);
    setSetupProblem(tr("작업 폴더 %1 은(는) 본인만 쓸 수 있는 폴더가 아니어서 카드를 읽지 "
                       "않았습니다. 다른 사용자가 만들었거나 링크로 바뀐 폴더입니다.")
                        .arg(WorkingFolder::tempRoot()));
    return false;
}

QString ToolSet::toolCommand(const QString &tool, const QString &arguments) const
{
    return shellQuoted(m_helperRoot + tool) + QLatin1Char(' ') + arguments;
}

QString ToolSet::bundledTools() const
{
    if (!m_bundledTools.isEmpty())
        return m_bundledTools;
    // Next to the program in the build tree; in <prefix>/lib/korvane/ once installed.
    const QString here = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(here + QStringLiteral("/durnix")))
        return here + QLatin1Char('/');
    return here + QStringLiteral("/../" KORVANE_TOOLS_DIR "/");
}

QCoro::Task<bool> ToolSet::prepareTools()
{
    m_helperRoot = userDataFolder() + QLatin1Char('/') + appName() + QLatin1Char('/');
    if (const QString problem = preparePrivateFolder(m_helperRoot); !problem.isEmpty()) {
        appLog(logCard, "[ProcessManager] tools folder refused:", problem);
        setSetupProblem(tr("도구 폴더 %1 은(는) 본인만 쓸 수 있는 폴더가 아니어서 사용할 수 "
                           "없습니다. 다른 사용자가 만들었거나 링크로 바뀐 폴더입니다.")
                            .arg(m_helperRoot));
        co_return false;
    }
    if (!workingFolderReady())
        co_return false;
    // The user's own durnix reads card images; real cards need the privileged one. Without any
    // one of the three no card can be read, listed or played: that is said at once, not left to
    // look like a card without recordings.
    for (const char *tool : {"durnix", "ffmpeg", "salvex"}) {
        const QString name = QString::fromLatin1(tool);
        const QString bundled = bundledTools() + name;
        if (!isProgram(bundled)) {
            // Beside the program first: a build, or a copy, keeps its tools there.
            QString looked = QDir::cleanPath(bundled);
            const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
            if (m_bundledTools.isEmpty() && QDir::cleanPath(beside) != looked)
                looked = QDir::cleanPath(beside) + QStringLiteral(", ") + looked;
            appLog(logCard, "[ProcessManager] missing tool:", looked);
            setSetupProblem(tr("Korvane에 필요한 프로그램 %1 이(가) 없습니다. %2 에서 찾지 "
                               "못했습니다. Korvane을 다시 설치해 주세요.")
                                .arg(name, looked));
            co_return false;
        }
        co_await installTool(name);
        if (!isProgram(m_helperRoot + name)) {
            setSetupProblem(tr("Korvane에 필요한 프로그램 %1 을(를) %2 에 복사하지 못했습니다.")
                                .arg(name, m_helperRoot));
            co_return false;
        }
    }
    co_return true;
}

QCoro::Task<bool> ToolSet::initializeTools()
{
    bool result = co_await prepareTools();
    m_toolsReady = result;
    if (result && m_usesCardImage)
        appLog(logCard, "[ProcessManager] card image: durnix reads it with the user's own rights");
    else if (result)
        result = chooseCardAccess();
    if (result)
        setSetupProblem({});
    appLog(logCard, "[ProcessManager] Initialization finished with success:", result);
    co_return result;
}

bool ToolSet::chooseCardAccess()
{
    if (checkPrivilege(QStringLiteral("durnix"))) {
        m_cardAccess = CardAccess::SetUserIdTool;
        appLog(logCard, "[ProcessManager] cards are read by", m_privilegedTool);
        return true;
    }
    if (const QString why = DiskService::unavailableReason(); !why.isEmpty()) {
        m_cardAccess = CardAccess::None;
        m_cardAccessProblem = QStringLiteral("%1; %2").arg(m_privilegeProblem, why);
        appLog(logCard, "[ProcessManager] no way to read cards:", m_cardAccessProblem);
        setSetupProblem(tr("SD 카드를 읽을 수 없습니다. Korvane 패키지를 설치하고 plugdev 그룹에 "
                           "속하거나, 디스크 서비스 udisks2를 설치해 주세요. (%1)")
                            .arg(m_cardAccessProblem));
        return false;
    }
    m_cardAccess = CardAccess::DiskService;
    appLog(logCard, "[ProcessManager] cards are read through UDisks2:", m_privilegeProblem);
    return true;
}

QString ToolSet::cardAccessDescription() const
{
    switch (m_cardAccess) {
    case CardAccess::SetUserIdTool:
        return QStringLiteral("SD cards are read by %1, set-user-ID root for the group plugdev: "
                              "no password is asked")
            .arg(m_privilegedTool);
    case CardAccess::DiskService:
        return QStringLiteral("SD cards are read through UDisks2: the administrator is asked "
                              "when a card is opened, and durnix reads it with your own rights "
                              "(no set-user-ID durnix: %1)")
            .arg(m_privilegeProblem);
    case CardAccess::None:
        break;
    }
    return QStringLiteral("SD cards cannot be read: %1").arg(m_cardAccessProblem);
}

QCoro::Task<> ToolSet::installTool(QString name)
{
    const QString bundled = bundledTools() + name;
    if (!QFileInfo::exists(bundled))
        co_return;
    const QString destination = m_helperRoot + name;
    if (sameFile(bundled, destination)) {
        appLog(logCard, "[ProcessManager]", destination, "-> already exists");
        co_return;
    }
    appLog(logCard, "[ProcessManager]", destination, "-> copied");
    co_await WorkingFolder::copyFile(bundled, destination);
}

bool ToolSet::checkPrivilege(const QString &name)
{
    m_privilegedTool.clear();
    QString resolved;
    // Only the package's privileged copy beside the tools: root-owned in root-owned folders,
    // and set-user-ID for the group plugdev, which this user must belong to.
    QString problem = setUserIdRootProblem(bundledTools() + privilegedFolder + name, &resolved);
    if (problem.isEmpty() && access(QFile::encodeName(resolved).constData(), X_OK) != 0)
        problem = QStringLiteral("%1 may be run only by the group plugdev").arg(resolved);
    m_privilegeProblem = problem;
    if (!problem.isEmpty()) {
        appLog(logCard, "[ProcessManager] checkPrivilege error:", problem);
        return false;
    }
    m_privilegedTool = resolved;
    return true;
}

} // namespace korvane
