// What every evidence clip goes through: ffmpeg run in a folder of its own, its progress read,
// the clip moved into place only when whole.
#include "card/clipsteps.h"

#include "base/applog.h"
#include "card/privatefolder.h"
#include "card/savedfiles.h"
#include "card/shellquote.h"
#include "card/workingfolder.h"

#include <QFile>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace korvane {

namespace {

// The percentage written so far, from ffmpeg's "-progress" lines ("out_time_us=1234567").
class ProgressReader
{
public:
    ProgressReader(double duration, std::function<void(int)> report)
        : m_duration(duration), m_report(std::move(report))
    {
    }

    void read(const QString &chunk)
    {
        m_pending += chunk;
        qsizetype end = 0;
        while ((end = m_pending.indexOf(QLatin1Char('\n'))) >= 0) {
            const QString line = m_pending.left(end).trimmed();
            m_pending.remove(0, end + 1);
            if (line.startsWith(QLatin1String("out_time_us="))) {
                bool ok = false;
                const double written = line.mid(12).toDouble(&ok) / 1e6;
                if (ok && m_duration > 0)
                    show(static_cast<int>(std::clamp(written / m_duration * 100, 0.0, 99.0)));
            } else if (!line.contains(QLatin1Char('='))) {
                m_complaint = line; // with "-v error" only complaints are left
            }
        }
    }

    void show(int percent)
    {
        if (percent != m_shown && m_report) {
            m_shown = percent;
            m_report(percent);
        }
    }

    QString complaint() const { return m_complaint; }

private:
    double m_duration;
    std::function<void(int)> m_report;
    QString m_pending;
    QString m_complaint;
    int m_shown = -1;
};

QString shownWhile(const CaptionLine &line)
{
    return filterValue(QStringLiteral("gte(t,%1)*lt(t,%2)")
                           .arg(clipSecondsText(line.start), clipSecondsText(line.end)));
}

} // namespace

QString clipSecondsText(double seconds)
{
    return QString::number(std::max(0.0, seconds), 'f', 6);
}

QString captionFilter(const QString &font, int height, const CaptionLine &line)
{
    // White on a dark box at the bottom left, sized by the picture's height so that it reads the
    // same on every camera.
    const int size = std::max(10, static_cast<int>(std::lround(height / 24.0)));
    const int border = std::max(2, size / 4);
    const int margin = std::max(4, static_cast<int>(std::lround(height / 40.0)));
    return QStringLiteral("drawtext=expansion=none:fontfile=%1:text=%2:fontsize=%3:fontcolor=white:"
                          "box=1:boxcolor=black@0.65:boxborderw=%4:x=%5:y=h-th-%5:enable=%6")
        .arg(filterValue(font), filterValue(line.text), QString::number(size),
             QString::number(border), QString::number(margin + border), shownWhile(line));
}

QString bandCaptionFilter(const QString &font, int top, int height, const CaptionLine &line)
{
    const int size = std::max(10, height * 3 / 5);
    return QStringLiteral("drawtext=expansion=none:fontfile=%1:text=%2:fontsize=%3:fontcolor=white:"
                          "x=%4:y=%5+(%6-th)/2:enable=%7")
        .arg(filterValue(font), filterValue(line.text), QString::number(size),
             QString::number(height / 2), QString::number(top), QString::number(height),
             shownWhile(line));
}

bool writeFilterScript(const QString &path, const QString &graph)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(graph.toUtf8()) >= 0 && file.commit();
}

ClipResult clipNotMade(ClipResult result, ClipResult::Outcome outcome, const QString &detail,
                       const ShellCancel &cancel)
{
    result.outcome = cancel.isCancelled() ? ClipResult::Outcome::cancelled : outcome;
    result.detail = detail;
    if (result.outcome != ClipResult::Outcome::saved)
        appLog(logCard, "[ClipExport]", result.path, "not made:", detail);
    return result;
}

QCoro::Task<ClipResult> runClipEncoder(const ToolSet &tools, QString destination,
                                       std::function<QString(const QString &folder)> arguments,
                                       double duration, std::function<void(int percent)> progress,
                                       ShellCancel cancel, ClipResult result)
{
    result.path = destination;
    if (const QString problem = preparePrivateFolder(WorkingFolder::tempRoot()); !problem.isEmpty())
        co_return clipNotMade(result, ClipResult::Outcome::failed, problem, cancel);
    const QString folder = WorkingFolder::workFolder(QStringLiteral("clip-") +
                                                     QUuid::createUuid().toString(QUuid::Id128));
    if (folder.isEmpty())
        co_return clipNotMade(result, ClipResult::Outcome::failed,
                              QStringLiteral("cannot make a clip folder"), cancel);
    const QString made = folder + QStringLiteral("clip.mp4");
    const QString given = arguments(folder);
    if (given.isEmpty()) {
        WorkingFolder::deleteDirectory(folder);
        co_return clipNotMade(result, ClipResult::Outcome::failed,
                              QStringLiteral("cannot write the clip's filter script"), cancel);
    }
    // "-strict -1": the dashcam's sound is 8 kHz MP3, which ffmpeg puts into MP4 only when told.
    const QString command = shellQuoted(tools.helperRoot() + QStringLiteral("ffmpeg")) +
                            QStringLiteral(" -nostdin -v error -y ") + given +
                            QStringLiteral(" -strict -1 -progress pipe:1 -nostats -f mp4 ") +
                            shellQuoted(made);

    ProgressReader reader(duration, progress);
    reader.show(0);
    const int status = co_await Shell::runAsync(
        command, [&](const QString &chunk) { reader.read(chunk); }, cancel);
    if (cancel.isCancelled() || status != 0 || WorkingFolder::fileSize(made, false) == 0) {
        WorkingFolder::deleteDirectory(folder);
        co_return clipNotMade(result, ClipResult::Outcome::failed,
                              reader.complaint().isEmpty()
                                  ? QStringLiteral("ffmpeg ended with status %1").arg(status)
                                  : reader.complaint(),
                              cancel);
    }
    const SavedFile saved = co_await saveNewFile(made, destination, Transfer::move);
    WorkingFolder::deleteDirectory(folder);
    if (saved.path.isEmpty())
        co_return clipNotMade(result, ClipResult::Outcome::notWritten, saved.error, cancel);
    result.path = saved.path;
    if (cancel.isCancelled()) {
        // Called off while the finished clip was being moved: a cancelled clip leaves nothing.
        QFile::remove(saved.path);
        co_return clipNotMade(result, ClipResult::Outcome::cancelled, {}, cancel);
    }
    reader.show(100);
    result.outcome = ClipResult::Outcome::saved;
    co_return result;
}

} // namespace korvane
