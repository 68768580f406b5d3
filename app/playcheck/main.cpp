// korvane-playcheck FILE: whether Korvane's own player shows every camera of FILE. It says why
// not on its output and exits 1, or exits 0 when every camera shows its first picture. It is a
// program of its own so that korvane-cli, which hands recordings on as playable, needs no player.
#include "base/argumentpaths.h"
#include "playback/playercheck.h"

#include <QCoreApplication>
#include <QCoroTask>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = korvane::commandLineArguments(argc, argv);
    if (arguments.size() != 1) {
        std::fputs("usage: korvane-playcheck FILE\n", stderr);
        return 2;
    }
    const std::optional<QString> problem =
        QCoro::waitFor(korvane::playerProblem(arguments.first()));
    if (!problem)
        return 0;
    std::fputs(problem->toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    return 1;
}
