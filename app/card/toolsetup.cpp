#include "processmanager.h"

#include "applog.h"
#include "background.h"
#include "identity.h"
#include "privatefolder.h"
#include "rootonlypath.h"
#include "savedfiles.h"
#include "shell.h"
#include "shellquote.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// A copy under a temporary name next to the destination, renamed over it only when whole; holes
// stay holes and the permissions come along (a tool stays executable).
QString copyReplacing(const QString &source, const QString &destination)
{
    const QString partial = destination + QStringLiteral(".partial");
    QFile::remove(partial);
    const int from = open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return QStringLiteral("cannot read %1: %2")
            .arg(source, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st
    {
    };
    fstat(from, &st);
    const int to = open(QFile::encodeName(partial).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (to < 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        close(from);
        return QStringLiteral("cannot write %1: %2").arg(partial, error);
    }
    QString error = copyKeepingHoles(from, to);
    close(from);
    if (close(to) != 0 && error.isEmpty())
        error = QString::fromLocal8Bit(std::strerror(errno));
    if (!error.isEmpty()) {
        QFile::remove(partial);
        return error;
    }
    if (std::rename(QFile::encodeName(partial).constData(),
                    QFile::encodeName(destination).constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(partial);
        return error;
    }
    return {};
}

QString moveReplacing(const QString &source, const QString &destination)
{
    if (std::rename(QFile::encodeName(source).constData(),
                    QFile::encodeName(destination).constData()) == 0)
        return {};
    if (errno != EXDEV)
        return QString::fromLocal8Bit(std::strerror(errno));
    // Another file system: copy, then remove the source.
    const QString error = copyReplacing(source, destination);
    if (error.isEmpty() && !QFile::remove(source))
        return QStringLiteral("cannot remove %1").arg(source);
    return error;
}

} // namespace

QString ProcessManager::bundledTools() const
{
    if (!m_bundledTools.isEmpty())
        return m_bundledTools;
    // Next to the program in the build tree; in <prefix>/lib/korvane/ once installed.
    const QString here = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(here + QStringLiteral("/durnix")))
        return here + QLatin1Char('/');
    return here + QStringLiteral("/../" KORVANE_TOOLS_DIR "/");
}

QCoro::Task<bool> ProcessManager::prepareTools()
{
    m_helperRoot = userDataFolder() + QLatin1Char('/') + appName() + QLatin1Char('/');
    if (const QString problem = preparePrivateFolder(m_helperRoot); !problem.isEmpty()) {
        appLog("[ProcessManager] tools folder refused:", problem);
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
            appLog("[ProcessManager] missing tool:", looked);
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

QCoro::Task<bool> ProcessManager::initializeTools()
{
    bool result = co_await prepareTools();
    if (result && m_usesCardImage) {
        appLog("[ProcessManager] card image: durnix reads it with the user's own rights");
    } else if (result) {
        result = checkPrivilege(QStringLiteral("durnix"));
        if (!result)
            result = co_await authorizeExt4Tool(QStringLiteral("durnix"));
        if (!result)
            setSetupProblem(tr("SD 카드를 읽을 권한을 얻지 못했습니다. 카드 도우미 durnix를 "
                               "설치하려면 관리자 암호로 허락해야 합니다."));
    }
    if (result)
        setSetupProblem({});
    appLog("[ProcessManager] Initialization finished with success:", result);
    co_return result;
}

QCoro::Task<> ProcessManager::installTool(QString name)
{
    const QString bundled = bundledTools() + name;
    if (!QFileInfo::exists(bundled))
        co_return;
    const QString destination = m_helperRoot + name;
    if (sameFile(bundled, destination)) {
        appLog("[ProcessManager]", destination, "-> already exists");
        co_return;
    }
    appLog("[ProcessManager]", destination, "-> copied");
    co_await copyFile(bundled, destination);
}

bool ProcessManager::checkPrivilege(const QString &name)
{
    m_privilegedTool.clear();
    const QString bundled = bundledTools() + name;
    QString resolved;
    // Installed by root next to the viewer: that copy is the one.
    if (setUserIdRootProblem(bundled, &resolved).isEmpty()) {
        m_privilegedTool = resolved;
        return true;
    }
    QString problem = setUserIdRootProblem(m_privilegedFolder + name, &resolved);
    if (problem.isEmpty() && QFileInfo::exists(bundled) && !sameFile(bundled, resolved))
        problem = QStringLiteral("%1 is another build's durnix").arg(resolved);
    if (!problem.isEmpty()) {
        appLog("[ProcessManager] checkPrivilege error:", problem);
        return false;
    }
    m_privilegedTool = resolved;
    return true;
}

QCoro::Task<bool> ProcessManager::authorizeExt4Tool(QString name)
{
    const QString installer = bundledTools() + QStringLiteral("durnix-install");
    if (!QFileInfo(installer).isExecutable()) {
        appLog("[ProcessManager] authorizeExt4Tool error: no installer at", installer);
        co_return false;
    }
    // The administrator prompt, with our own polkit action's message; root needs none.
    const QString command =
        shellQuoted(installer) + QLatin1Char(' ') + shellQuoted(bundledTools() + name);
    const QString line = geteuid() == 0 ? command : QStringLiteral("pkexec ") + command;
    QString output;
    const int status =
        co_await Shell::runAsync(line, [&](const QString &chunk) { output += chunk; });
    if (status != 0) {
        appLog("[ProcessManager] authorizeExt4Tool error:", output.trimmed());
        co_return false;
    }
    appLog("[ProcessManager]", name, "authorized successfully");
    co_return checkPrivilege(name);
}

QCoro::Task<bool> ProcessManager::copyFile(QString source, QString destination)
{
    // The future is named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<QString> copying =
        inBackground([source, destination] { return copyReplacing(source, destination); });
    const QString error = co_await copying;
    if (!error.isEmpty())
        appLog("[FileExtractor] copy failed::", error);
    co_return error.isEmpty();
}

QCoro::Task<> ProcessManager::renameFile(QString source, QString destination)
{
    QCoro::Task<QString> moving =
        inBackground([source, destination] { return moveReplacing(source, destination); });
    const QString error = co_await moving;
    if (!error.isEmpty())
        appLog("[FileExtractor] rename failed::", error);
}

} // namespace korvane
