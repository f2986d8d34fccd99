#include "commandline.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Written from the signal handler; read on the event loop, so the terminal
// and its link are cleaned up on Ctrl+C instead of being left behind.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    Q_UNUSED(ignored)
}

bool watchTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mero-sim"));

    MeroSim::CommandLine commandLine;
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (commandLine.parse(QCoreApplication::arguments())) {
    case MeroSim::CommandLine::Outcome::ShowHelp:
        out << commandLine.helpText();
        return 0;
    case MeroSim::CommandLine::Outcome::Error:
        err << "mero-sim: " << commandLine.error() << "\n" << "Try 'mero-sim --help'.\n";
        return 2;
    case MeroSim::CommandLine::Outcome::Run:
        break;
    }

    MeroSim::Simulator simulator(commandLine.options());
    if (!simulator.start()) {
        err << "mero-sim: " << simulator.lastError() << "\n";
        return 1;
    }
    if (!watchTerminationSignals(app))
        err << "mero-sim: cannot watch for Ctrl+C; the link may be left behind\n";
    return app.exec();
}
