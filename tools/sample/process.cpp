#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace sample {

namespace {
volatile sig_atomic_t interruptedBy = 0;
volatile pid_t runningChild = 0;

extern "C" void stopRunning(int signalNumber)
{
    interruptedBy = signalNumber;
    if (runningChild > 0)
        kill(runningChild, signalNumber);
}

std::string commandText(const std::vector<std::string> &args)
{
    std::string text;
    for (const std::string &arg : args)
        text += (text.empty() ? "" : " ") + arg;
    return text;
}

std::string programPath(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return name;
    for (const char *folder : {"/usr/sbin/", "/sbin/"}) {
        const std::string candidate = folder + name;
        if (access(candidate.c_str(), X_OK) == 0 && access(("/usr/bin/" + name).c_str(), X_OK) != 0)
            return candidate;
    }
    return name;
}
} // namespace

void runProgram(const std::vector<std::string> &args, const std::string &input)
{
    const std::string program = programPath(args.at(0));
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (size_t i = 1; i < args.size(); ++i)
        argv.push_back(const_cast<char *>(args[i].c_str()));
    argv.push_back(nullptr);

    int messages[2];
    if (pipe2(messages, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    // The generator prints only the paths it wrote.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, messages[1], 2);
    if (interruptedBy)
        throw std::runtime_error("interrupted");
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    runningChild = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(messages[1]);
    if (error != 0) {
        close(messages[0]);
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(error));
    }

    std::string said;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(messages[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        said.append(buffer, static_cast<size_t>(n));
    }
    close(messages[0]);
    while (!said.empty() && said.back() == '\n')
        said.pop_back();

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("lost " + args[0] + ": " + std::strerror(errno));
    }
    runningChild = 0;
    if (interruptedBy)
        throw std::runtime_error("interrupted");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("failed: " + commandText(args) + (said.empty() ? "" : "\n") +
                                 said);
}

void catchInterruptions()
{
    struct sigaction action
    {
    };
    action.sa_handler = stopRunning;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
}

int interruption()
{
    return interruptedBy;
}

} // namespace sample
