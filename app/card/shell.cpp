#include "card/shell.h"

#include "card/utf8chunks.h"

#include <QCoroProcess>
#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace korvane {

namespace {
// From the kernel's linux/ioprio.h, which glibc does not wrap: the calling process, and the
// idle class (3) in the class bits (from bit 13), level 0.
constexpr int ioprioWhoProcess = 1;
constexpr int ioprioIdleClass = 3 << 13;
} // namespace

void ShellCancel::cancel()
{
    m_state->cancelled = true;
    // The shell and whatever it started (ffmpeg, a pipeline) share the group made at the start.
    if (const qint64 group = m_state->group; group > 0)
        ::kill(static_cast<pid_t>(-group), SIGKILL);
}

QCoro::Task<int> Shell::runAsync(QString command, OutputHandler onOutput, Priority priority)
{
    // Named before it is awaited: GCC 12 mishandles temporaries in co_await.
    QCoro::Task<int> running =
        run(std::move(command), std::move(onOutput), ShellCancel{}, false, -1, priority);
    co_return co_await running;
}

QCoro::Task<int> Shell::runAsync(QString command, OutputHandler onOutput, ShellCancel cancel)
{
    QCoro::Task<int> running =
        run(std::move(command), std::move(onOutput), std::move(cancel), true);
    co_return co_await running;
}

QCoro::Task<int> Shell::runAsyncHandingOver(QString command, OutputHandler onOutput, int descriptor,
                                            Priority priority)
{
    QCoro::Task<int> running =
        run(std::move(command), std::move(onOutput), ShellCancel{}, false, descriptor, priority);
    co_return co_await running;
}

QCoro::Task<int> Shell::run(QString command, OutputHandler onOutput, ShellCancel cancel,
                            bool ownGroup, int descriptor, Priority priority)
{
    if (cancel.isCancelled())
        co_return 128;
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
    // A group of its own, so that a cancel ends the shell's children with it. Only runs that can
    // be cancelled get one: the others stay in the caller's group and hear its terminal's Ctrl+C.
    // dup2 leaves the copy open across exec; a descriptor that is already the one handed on
    // only needs its close-on-exec flag cleared.
    // The priorities pass on to everything the shell starts.
    process.setChildProcessModifier([ownGroup, descriptor, priority] {
        if (ownGroup)
            ::setpgid(0, 0);
        if (priority == Priority::background) {
            const sched_param none{};
            ::sched_setscheduler(0, SCHED_IDLE, &none);
            ::syscall(SYS_ioprio_set, ioprioWhoProcess, 0, ioprioIdleClass);
        }
        if (descriptor == handedDescriptor)
            ::fcntl(handedDescriptor, F_SETFD, 0);
        else if (descriptor >= 0)
            ::dup2(descriptor, handedDescriptor);
    });

    process.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), command});
    if (!co_await qCoro(process).waitForStarted(-1)) {
        onOutput(QStringLiteral("[Shell] run error: ") + process.errorString());
        co_return -1;
    }
    cancel.m_state->group = process.processId();
    if (cancel.isCancelled())
        cancel.cancel(); // cancelled while it was starting
    if (process.state() != QProcess::NotRunning)
        co_await qCoro(process).waitForFinished(-1);
    cancel.m_state->group = 0;

    deliver();
    if (const QString rest = text.finish(); !rest.isEmpty())
        onOutput(rest);
    if (cancel.isCancelled())
        co_return 128;
    co_return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128;
}

} // namespace korvane
