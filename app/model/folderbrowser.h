#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace korvane {

// The window's own folder chooser, for desktops without file dialogs: one folder shown at a time,
// and the folder shown is the folder chosen. Its subfolders can be entered, the folder above
// reached, and a new folder made and entered. Main thread only.
class FolderBrowser : public QObject
{
    Q_OBJECT
    // Empty until a folder is set.
    Q_PROPERTY(QUrl folder READ folderUrl WRITE setFolder NOTIFY folderChanged)
    Q_PROPERTY(QString shownFolder READ shownFolder NOTIFY folderChanged)
    // Sorted as a file manager sorts them, hidden ones left out.
    Q_PROPERTY(QStringList subfolders READ subfolders NOTIFY folderChanged)
    Q_PROPERTY(bool atTop READ atTop NOTIFY folderChanged)
    // Why the last new folder could not be made; empty when it was.
    Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)

public:
    explicit FolderBrowser(QObject *parent = nullptr);

    QString folder() const { return m_folder; }
    QUrl folderUrl() const { return m_folder.isEmpty() ? QUrl() : QUrl::fromLocalFile(m_folder); }
    // A folder that is gone shows the nearest folder above it.
    void setFolder(const QUrl &folder);
    QString shownFolder() const;
    QStringList subfolders() const { return m_subfolders; }
    bool atTop() const;
    QString problem() const { return m_problem; }

    Q_INVOKABLE void enter(const QString &name);
    Q_INVOKABLE void up();
    // Makes the folder inside the one shown and shows it; false, with `problem` saying why, when
    // the name cannot be a folder's or the folder cannot be made.
    Q_INVOKABLE bool makeFolder(const QString &name);

signals:
    void folderChanged();
    void problemChanged();

private:
    void show(const QString &folder);
    void setProblem(const QString &problem);

    QString m_folder;
    QStringList m_subfolders;
    QString m_problem;
};

} // namespace korvane
