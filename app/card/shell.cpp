#include "shell.h"

#include "utf8chunks.h"

#include <QCoroProcess>
#include <QProcess>

namespace korvane {

QCoro::Task<int> Shell::runAsync(QString command, OutputHandler onOutput)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    Utf8Chunks text;
    const auto deliver = [&] {
        const QString chunk = text.decode(process.readAll());
        if (!chunk.isEmpty())
            onOutput(chunk);
    };
    // Output is streamed from readyRead while the run awaits the child's end: awaiting more
    // output would never resume for a child that ends without writing.
    QObject::connect(&process, &QProcess::readyRead, &process, deliver);

    process.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), command});
    if (!co_await qCoro(process).waitForStarted(-1)) {
        onOutput(QStringLiteral("[Shell] run error: ") + process.errorString());
        co_return -1;
    }
    if (process.state() != QProcess::NotRunning)
        co_await qCoro(process).waitForFinished(-1);

    deliver();
    if (const QString rest = text.finish(); !rest.isEmpty())
        onOutput(rest);
    co_return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128;
}

} // namespace korvane
