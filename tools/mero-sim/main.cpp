#include "commandline.h"
#include "simulator.h"
#include "updateserver.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Written from the signal handler; read on the event loop, so the terminal
// and its link are cleaned up on Ctrl+C instead of being left behind, and a
// pulled cable (SIGUSR1) is acted out like any other event of the device.
int g_signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    Q_UNUSED(ignored)
}

void handleSignal(QCoreApplication &app, MeroSim::Simulator &simulator)
{
    char byte = 0;
    if (::read(g_signalPipe[0], &byte, 1) != 1)
        return;
    if (byte == char(SIGUSR1))
        simulator.unplug(simulator.options().unplugDelayMs);
    else
        app.quit();
}

bool watchSignals(QCoreApplication &app, MeroSim::Simulator &simulator)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app,
                     [&app, &simulator] { handleSignal(app, simulator); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0
        && ::sigaction(SIGUSR1, &action, nullptr) == 0;
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
    MeroSim::UpdateServer updateServer(commandLine.options());
    if (!updateServer.listen()) {
        err << "mero-sim: update server: " << updateServer.lastError() << "\n";
        return 1;
    }
    // The line to hand to oskiro-mero --update-url.
    out << "update server: " << updateServer.baseUrl().toString() << "\n";
    out.flush();
    if (!watchSignals(app, simulator))
        err << "mero-sim: cannot watch for Ctrl+C and SIGUSR1; the link may be left behind\n";
    return app.exec();
}
