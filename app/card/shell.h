#pragma once

#include <QCoroTask>
#include <QString>

#include <functional>

namespace korvane {

// Runs one command line as a child process ("/bin/bash" "-c" command) and hands everything it
// writes, standard output and error interleaved as written, to `onOutput` on the main thread.
class Shell
{
public:
    using OutputHandler = std::function<void(const QString &)>;

    // The child's exit status; -1 when it could not be started (onOutput then receives
    // "[Shell] run error: " and the reason). A child ended by a signal gives 128, as shells do
    // for any status of 128 or more.
    static QCoro::Task<int> runAsync(QString command, OutputHandler onOutput);
};

} // namespace korvane
