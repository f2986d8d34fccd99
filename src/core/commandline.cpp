#include "core/commandline.h"

#include "core/appenvironment.h"
#include "core/tversion.h"
#include "core/userdialogs.h"
#include "data/scan/tscanpreset.h"

#include <QCoreApplication>

#include <algorithm>

namespace ZCore {

namespace {

const char *const kApplicationName = "oskiro-mero";
const char *const kHelpAllName = "help-all";
const char *const kMeasureName = "measure";
const char *const kPowerLow = "low";
const char *const kPowerHigh = "high";

// As the parser reads it: one or two dashes, or the value joined by "=".
bool namesOption(const QString &argument, const QString &name)
{
    QString bare = argument;
    while (bare.startsWith(QLatin1Char('-')))
        bare.remove(0, 1);
    return bare != argument && bare.section(QLatin1Char('='), 0, 0) == name;
}

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
    , m_measureOption(QLatin1String(kMeasureName),
                      QStringLiteral("Measure without a window: connect (--port or --simulate), sweep, print one "
                                     "line per channel and exit with 0 when every limit mask passes, 1 when one "
                                     "fails, 2 when no measurement could be made."))
    , m_presetOption(QStringLiteral("preset"),
                     QStringLiteral("With --measure: sweep preset <n>, counted from 1 as the preset list shows "
                                    "them (default 1)."),
                     QStringLiteral("n"))
    , m_powerOption(QStringLiteral("power"),
                    QStringLiteral("With --measure: source power low or high (default low)."),
                    QStringLiteral("low|high"))
    , m_calibratedOption(QStringLiteral("calibrated"),
                         QStringLiteral("With --measure: use the device's calibration; a device without one is an "
                                        "error."))
    , m_sweepsOption(QStringLiteral("sweeps"),
                     QStringLiteral("With --measure: complete sweeps of both channels to run; the last one is "
                                    "reported (default 1)."),
                     QStringLiteral("n"))
    , m_timeoutOption(QStringLiteral("timeout"),
                      QStringLiteral("With --measure: give up after <seconds> without a result (default 60)."),
                      QStringLiteral("seconds"))
    , m_exportOption(QStringLiteral("export"),
                     QStringLiteral("With --measure: write the result to <file>, a .csv trace file, a .s2p "
                                    "Touchstone file or a .png picture of both charts. May be repeated."),
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
    for (const QCommandLineOption *option : {&m_measureOption, &m_presetOption, &m_powerOption, &m_calibratedOption,
                                             &m_sweepsOption, &m_timeoutOption, &m_exportOption})
        m_parser.addOption(*option);
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
    m_measureRequested = std::any_of(arguments.cbegin() + qMin(1, arguments.size()), arguments.cend(),
                                     [](const QString &argument) {
                                         return namesOption(argument, QLatin1String(kMeasureName));
                                     });
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
    // A measurement never hands its arguments to a window system.
    if (m_measureRequested)
        return outcome != EOutcome::Run;
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
    return readMeasureOptions();
}

bool CommandLine::readCount(const QCommandLineOption &option, int maximum, int *value)
{
    if (!m_parser.isSet(option))
        return true;
    const QString text = m_parser.value(option);
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 1 || number > maximum) {
        m_error = QStringLiteral("Invalid value '%1' for '--%2': expected a whole number from 1 to %3.")
                      .arg(text, option.names().constFirst())
                      .arg(maximum);
        return false;
    }
    *value = number;
    return true;
}

bool CommandLine::readMeasureOptions()
{
    m_options.measure = m_parser.isSet(m_measureOption);
    const QList<const QCommandLineOption *> measureOnly = {&m_presetOption,   &m_powerOption,   &m_calibratedOption,
                                                           &m_sweepsOption,   &m_timeoutOption, &m_exportOption};
    for (const QCommandLineOption *option : measureOnly) {
        if (!m_options.measure && m_parser.isSet(*option)) {
            m_error = QStringLiteral("The option '--%1' needs '--measure'.").arg(option->names().constFirst());
            return false;
        }
    }
    if (!m_options.measure)
        return true;
    // The window's options have nothing to act on in a run without one.
    for (const QCommandLineOption *option : {&m_screenshotOption, &m_quitAfterOption}) {
        if (m_parser.isSet(*option)) {
            m_error = QStringLiteral("The option '--%1' does not go with '--measure'.").arg(option->names().constFirst());
            return false;
        }
    }
    if (!m_options.simulate && m_options.portName.isEmpty()) {
        m_error = QStringLiteral("The option '--measure' needs '--port' or '--simulate'.");
        return false;
    }
    // Nobody is there to close a box.
    m_options.unattended = true;
    m_options.calibrated = m_parser.isSet(m_calibratedOption);
    if (!readCount(m_presetOption, ZData::PresetSettings::kMaxPresets, &m_options.presetNumber)
        || !readCount(m_sweepsOption, kMaxSweeps, &m_options.sweeps)
        || !readCount(m_timeoutOption, kMaxTimeoutSeconds, &m_options.timeoutSeconds))
        return false;
    if (m_parser.isSet(m_powerOption)) {
        const QString power = m_parser.value(m_powerOption).toLower();
        if (power != QLatin1String(kPowerLow) && power != QLatin1String(kPowerHigh)) {
            m_error = QStringLiteral("Invalid value '%1' for '--power': expected low or high.")
                          .arg(m_parser.value(m_powerOption));
            return false;
        }
        m_options.highPower = power == QLatin1String(kPowerHigh);
    }
    m_options.exports = m_parser.values(m_exportOption);
    const QStringList suffixes = exportSuffixes();
    for (const QString &file : qAsConst(m_options.exports)) {
        const bool known = std::any_of(suffixes.cbegin(), suffixes.cend(), [&file](const QString &suffix) {
            return file.endsWith(suffix, Qt::CaseInsensitive) && file.size() > suffix.size();
        });
        if (!known) {
            m_error = QStringLiteral("The file '%1' of '--export' must end in %2.")
                          .arg(file, suffixes.join(QStringLiteral(", ")));
            return false;
        }
    }
    return true;
}

QStringList CommandLine::exportSuffixes()
{
    return {QStringLiteral(".csv"), QStringLiteral(".s2p"), QStringLiteral(".png")};
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

int CommandLine::exitCode(EOutcome outcome) const
{
    if (outcome != EOutcome::Error)
        return kExitSuccess;
    return m_measureRequested ? kExitMeasureUsageError : kExitUsageError;
}

} // namespace ZCore
