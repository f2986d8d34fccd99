#include "core/commandline.h"

#include "core/appenvironment.h"
#include "core/tversion.h"
#include "core/userdialogs.h"

#include <QCoreApplication>

namespace ZCore {

namespace {

const char *const kApplicationName = "oskiro-mero";
const char *const kHelpAllName = "help-all";

} // namespace

CommandLine::CommandLine()
    : m_helpOption(m_parser.addHelpOption())
    , m_versionOption(m_parser.addVersionOption())
    , m_dataDirOption(QStringLiteral("data-dir"),
                      QStringLiteral("Keep the profiles, logs and calibrations in <dir> instead of beside the "
                                     "executable."),
                      QStringLiteral("dir"))
    , m_unattendedOption(QStringLiteral("unattended"),
                         QStringLiteral("Show no message boxes: write them to the log instead and answer every "
                                        "question with No."))
    , m_quitAfterOption(QStringLiteral("quit-after"),
                        QStringLiteral("Close the main window <ms> milliseconds after it is shown, for scripted "
                                       "checks."),
                        QStringLiteral("ms"))
    , m_portOption(QStringLiteral("port"),
                   QStringLiteral("Connect to the device on serial port <name> (e.g. /dev/ttyACM0 or the link "
                                  "path of mero-sim) right after start-up."),
                   QStringLiteral("name"))
    , m_updateUrlOption(QStringLiteral("update-url"),
                        QStringLiteral("Ask the firmware update server at <url> (update.php is appended) instead "
                                       "of the built-in one."),
                        QStringLiteral("url"))
    , m_simulateOption(QStringLiteral("simulate"),
                       QStringLiteral("Start the bundled device simulator (mero-sim, or $MERO_SIM_BIN) and connect "
                                      "to it instead of a device."))
    , m_screenshotOption(QStringLiteral("screenshot"),
                         QStringLiteral("Once both channels have been swept, save a PNG picture of the main window "
                                        "to <file> and quit. Implies --unattended."),
                         QStringLiteral("file"))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Oskiro MERO: host for the MERO two-channel frequency-response meter."));
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_dataDirOption);
    m_parser.addOption(m_unattendedOption);
    m_parser.addOption(m_quitAfterOption);
    m_parser.addOption(m_portOption);
    m_parser.addOption(m_updateUrlOption);
    m_parser.addOption(m_simulateOption);
    m_parser.addOption(m_screenshotOption);
}

void CommandLine::setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QLatin1String(kApplicationName));
    QCoreApplication::setApplicationVersion(appVersion().toString());
}

QStringList CommandLine::rawArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

CommandLine::EOutcome CommandLine::parse(const QStringList &arguments)
{
    m_options = Options();
    m_error.clear();
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return EOutcome::Error;
    }
    if (m_parser.isSet(m_helpOption) || m_parser.isSet(QLatin1String(kHelpAllName)))
        return EOutcome::ShowHelp;
    if (m_parser.isSet(m_versionOption))
        return EOutcome::ShowVersion;
    return readOptions() ? EOutcome::Run : EOutcome::Error;
}

bool CommandLine::isFinalWithoutWindow(EOutcome outcome) const
{
    // An unknown option may be one of the window system's own (-platform,
    // -style), which only the GUI application object takes out.
    if (outcome == EOutcome::Error)
        return m_parser.unknownOptionNames().isEmpty();
    return outcome != EOutcome::Run;
}

bool CommandLine::readOptions()
{
    const QStringList positional = m_parser.positionalArguments();
    if (!positional.isEmpty()) {
        m_error = QStringLiteral("Unexpected argument '%1'.").arg(positional.first());
        return false;
    }

    if (m_parser.isSet(m_dataDirOption)) {
        m_options.dataDir = m_parser.value(m_dataDirOption);
        if (m_options.dataDir.isEmpty()) {
            m_error = QStringLiteral("The option '--data-dir' needs a directory.");
            return false;
        }
    }

    m_options.simulate = m_parser.isSet(m_simulateOption);
    if (m_options.simulate && m_parser.isSet(m_portOption)) {
        m_error = QStringLiteral("The options '--simulate' and '--port' exclude each other.");
        return false;
    }
    if (m_parser.isSet(m_screenshotOption)) {
        m_options.screenshotPath = m_parser.value(m_screenshotOption);
        if (m_options.screenshotPath.isEmpty()) {
            m_error = QStringLiteral("The option '--screenshot' needs a file.");
            return false;
        }
    }
    // Nobody is there to close a message box of a run that ends on its own.
    m_options.unattended = m_parser.isSet(m_unattendedOption) || !m_options.screenshotPath.isEmpty();

    if (m_parser.isSet(m_portOption)) {
        m_options.portName = m_parser.value(m_portOption);
        if (m_options.portName.isEmpty()) {
            m_error = QStringLiteral("The option '--port' needs a port name.");
            return false;
        }
    }

    if (m_parser.isSet(m_updateUrlOption)) {
        m_options.updateUrl = m_parser.value(m_updateUrlOption);
        if (m_options.updateUrl.isEmpty()) {
            m_error = QStringLiteral("The option '--update-url' needs a URL.");
            return false;
        }
    }

    if (m_parser.isSet(m_quitAfterOption)) {
        const QString text = m_parser.value(m_quitAfterOption);
        bool ok = false;
        const int ms = text.toInt(&ok);
        if (!ok || ms < 0) {
            m_error = QStringLiteral("Invalid value '%1' for '--quit-after': expected a number of milliseconds.")
                          .arg(text);
            return false;
        }
        m_options.quitAfterMs = ms;
    }
    return true;
}

void CommandLine::apply() const
{
    if (!m_options.dataDir.isEmpty())
        AppEnvironment::setAppDir(m_options.dataDir);
    if (m_options.unattended)
        UserDialogs::setUnattended(true);
}

QString CommandLine::helpText() const
{
    return m_parser.helpText();
}

QString CommandLine::versionText() const
{
    return QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                         QCoreApplication::applicationVersion());
}

QString CommandLine::outcomeText(EOutcome outcome) const
{
    switch (outcome) {
    case EOutcome::ShowHelp:
        return helpText();
    case EOutcome::ShowVersion:
        return versionText();
    case EOutcome::Error:
        return QStringLiteral("%1: %2\n\n%3").arg(QCoreApplication::applicationName(), m_error, helpText());
    case EOutcome::Run:
        break;
    }
    return QString();
}

int CommandLine::exitCode(EOutcome outcome)
{
    return outcome == EOutcome::Error ? kExitUsageError : kExitSuccess;
}

} // namespace ZCore
