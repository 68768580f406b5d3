#include "model/folderbrowser.h"

#include "base/published.h"
#include "model/savefolders.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace korvane {

FolderBrowser::FolderBrowser(QObject *parent) : QObject(parent) {}

void FolderBrowser::setFolder(const QUrl &folder)
{
    QString path = folder.isLocalFile() ? QDir::cleanPath(folder.toLocalFile()) : QString();
    while (!path.isEmpty() && !QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).absolutePath();
        path = parent == path ? QString() : parent;
    }
    show(path.isEmpty() ? QDir::homePath() : path);
}

QString FolderBrowser::shownFolder() const
{
    return SaveFolders::shownPath(m_folder);
}

bool FolderBrowser::atTop() const
{
    return QDir(m_folder).isRoot();
}

void FolderBrowser::enter(const QString &name)
{
    if (m_subfolders.contains(name))
        show(QDir(m_folder).filePath(name));
}

void FolderBrowser::up()
{
    QDir folder(m_folder);
    if (folder.cdUp())
        show(folder.absolutePath());
}

bool FolderBrowser::makeFolder(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed == QStringLiteral(".") || trimmed == QStringLiteral("..") ||
        trimmed.contains(QLatin1Char('/')) || trimmed.contains(QChar(0))) {
        setProblem(tr("폴더 이름으로 쓸 수 없습니다."));
        return false;
    }
    const QString path = QDir(m_folder).filePath(trimmed);
    if (QFileInfo::exists(path)) {
        setProblem(tr("같은 이름이 이미 있습니다."));
        return false;
    }
    if (!QDir(m_folder).mkdir(trimmed)) {
        setProblem(tr("폴더를 만들 수 없습니다."));
        return false;
    }
    setProblem({});
    show(path);
    return true;
}

void FolderBrowser::show(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable);
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    setProblem({});
    m_folder = QDir::cleanPath(folder);
    m_subfolders = names;
    emit folderChanged();
}

void FolderBrowser::setProblem(const QString &problem)
{
    publish(this, m_problem, problem, &FolderBrowser::problemChanged);
}

} // namespace korvane
