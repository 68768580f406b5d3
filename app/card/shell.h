#pragma once

#include <QCoroTask>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace korvane {

// A way to end one running command from outside: copies share it, so the caller keeps one and
// hands one to the run. Cancelling kills the child and everything it started (its process group,
// SIGKILL); a run that has not started yet never starts. `cancel` is safe in a signal handler.
class ShellCancel
{
public:
    void cancel();
    bool isCancelled() const { return m_state->cancelled; }

private:
    friend class Shell;
    // Atomic: a signal handler may cancel (the command line's Ctrl+C).
    struct State
    {
        std::atomic_bool cancelled = false;
        std::atomic<qint64> group = 0; // the running child's process group, 0 while none runs
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Runs one command line as a child process ("/bin/bash" "-c" command) and hands everything it
// writes, standard output and error interleaved as written, to `onOutput` on the main thread.
class Shell
{
public:
    using OutputHandler = std::function<void(const QString &)>;

    // How a child competes for the machine. `background`: at the lowest CPU and I/O priority the
    // system offers (the idle scheduling policy and the idle I/O class), so that everything
    // else, the playing recording first, goes before it; for work nobody waits for.
    enum class Priority
    {
        normal,
        background
    };

    // The child's exit status; -1 when it could not be started (onOutput then receives
    // "[Shell] run error: " and the reason). A child ended by a signal gives 128, as shells do
    // for any status of 128 or more.
    static QCoro::Task<int> runAsync(QString command, OutputHandler onOutput,
                                     Priority priority = Priority::normal);
    // The same, the child in a process group of its own that `cancel` can end; a run cancelled
    // before or while it runs gives 128.
    static QCoro::Task<int> runAsync(QString command, OutputHandler onOutput, ShellCancel cancel);

    // The child inherits `descriptor` as its descriptor handedDescriptor: what it reads through,
    // where it has no right to open the file itself.
    static constexpr int handedDescriptor = 3;
    static QCoro::Task<int> runAsyncHandingOver(QString command, OutputHandler onOutput,
                                                int descriptor,
                                                Priority priority = Priority::normal);

private:
    static QCoro::Task<int> run(QString command, OutputHandler onOutput, ShellCancel cancel,
                                bool ownGroup, int descriptor = -1,
                                Priority priority = Priority::normal);
};

} // namespace korvane
