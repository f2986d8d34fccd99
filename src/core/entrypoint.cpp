#include "core/entrypoint.h"

#include "core/appenvironment.h"
#include "core/commandline.h"
#include "core/localizationmanager.h"
#include "core/log.h"
#include "core/logger.h"
#include "core/settingsmanager.h"
#include "core/simulatorlauncher.h"
#include "core/utilitymodules/generics.h"
#include "core/utilitymodules/image.h"
#include "core/utilitymodules/ui.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/connectionmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/server/servermanager.h"
#include "measure/headlessmeasurement.h"
#include "ui/mainwindow.h"
#include "ui/windowscreenshot.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QHostAddress>
#include <QIcon>
#include <QPixmap>
#include <QSplashScreen>
#include <QStyleFactory>
#include <QTcpServer>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <utility>

namespace ZCore::EntryPoint {

namespace {

const char *const kStyleName = "Fusion";
const char *const kStyleSheetPath = "://styles/default.qss";
const char *const kLogoPath = "://logo_pic";
// A simulated session asks the simulator's own update server on loopback,
// so no real server ever sees its requests.
const char *const kSimulatedUpdateUrl = "http://127.0.0.1:%1/android/";
constexpr QSize kSplashSize(500, 300);
constexpr int kSplashBorderWidth = 2;
constexpr int kApplicationFontPointSize = 10;

std::unique_ptr<MainWindow> createMainWindow()
{
    return std::make_unique<MainWindow>();
}

std::unique_ptr<QPixmap> createSplashPixmap()
{
    auto pixmap = std::make_unique<QPixmap>(
        UtilityModules::Image::makeSplashPixmap(QLatin1String(kLogoPath), kSplashSize, Qt::white));
    UtilityModules::Image::drawPixmapBorder(*pixmap, kSplashBorderWidth, Qt::black, Qt::MiterJoin);
    return pixmap;
}

void setApplicationFonts()
{
    QFont font = QApplication::font();
    font.setPointSize(kApplicationFontPointSize);
    QApplication::setFont(font, "QMessageBox");
    QApplication::setFont(font, "QPushButton");
}

// Closing the window, rather than only leaving the loop, takes the same path
// as a user does, so whatever is saved on close is saved here too.
void scheduleQuit(int afterMs, QWidget *window)
{
    if (afterMs < 0)
        return;
    QTimer::singleShot(afterMs, window, [window] {
        window->close();
        QCoreApplication::quit();
    });
}

// The simulated device is opened as --port would open a real one, as soon
// as its link exists. It answers at a real device's pace, so that the
// charts move as they would in the field.
// A port nobody listens on right now, for the simulator's update server.
quint16 freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

std::unique_ptr<SimulatorLauncher> startSimulator(quint16 updateServerPort)
{
    auto launcher = std::make_unique<SimulatorLauncher>();
    QObject::connect(launcher.get(), &SimulatorLauncher::signalLinkReady, launcher.get(),
                     [](const QString &link) { ZData::DM::SerialPort::instance().openPort(link); });
    QObject::connect(launcher.get(), &SimulatorLauncher::signalFailed, launcher.get(), [](const QString &reason) {
        Log::critical(tag(), QStringLiteral(">> cannot simulate the device: %1").arg(reason));
    });
    launcher->startBundled({QStringLiteral("--update-server-port"), QString::number(updateServerPort)});
    return launcher;
}

// Start-up milestones in the log, so that the time to a usable window can be
// read from outside: queued, each is written once the event loop has painted
// what came before it.
void logStartupMilestones(QWidget *window)
{
    QTimer::singleShot(0, window, [] { Log::info(tag(), QStringLiteral(">> main window shown")); });
    auto logged = std::make_shared<bool>(false);
    QObject::connect(&ZData::DataScanManager::instance(), &ZData::DataScanManager::signalActiveScanPresetReachedEnd,
                     window, [logged] {
                         if (std::exchange(*logged, true))
                             return;
                         Log::info(tag(), QStringLiteral(">> first sweep drawn"));
                     }, Qt::QueuedConnection);
}

// Options that act on managers, once they all stand.
void applyStartupOptions(const CommandLine::Options &options, quint16 simulatedServerPort)
{
    if (!options.updateUrl.isEmpty())
        ZData::ServerManager::instance().setBaseUrl(options.updateUrl);
    else if (options.simulate)
        ZData::ServerManager::instance().setBaseUrl(QString::fromLatin1(kSimulatedUpdateUrl).arg(simulatedServerPort));
    if (!options.portName.isEmpty())
        ZData::DM::SerialPort::instance().openPort(options.portName);
}

int printOutcome(const CommandLine &commandLine, CommandLine::EOutcome outcome)
{
    const int code = commandLine.exitCode(outcome);
    std::FILE *stream = code == CommandLine::kExitSuccess ? stdout : stderr;
    std::fputs(qPrintable(commandLine.outcomeText(outcome)), stream);
    std::fflush(stream);
    return code;
}

ZMeasure::TMeasurementRequest measurementRequest(const CommandLine::Options &options)
{
    ZMeasure::TMeasurementRequest request;
    request.portName = options.portName;
    request.simulate = options.simulate;
    request.preset = options.presetNumber - 1;
    request.highPower = options.highPower;
    request.calibrated = options.calibrated;
    request.sweeps = options.sweeps;
    request.timeoutSeconds = options.timeoutSeconds;
    request.exports = options.exports;
    return request;
}

// Until the log file takes over, only what stops the run reaches standard
// error: a measurement's script reads its own messages there, not the
// platform's remarks on a headless machine.
void earlyMeasurementMessage(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

// No window, and no display needed: a plain application object, or for a
// picture of the charts a GUI one on the offscreen platform, chosen before
// anything asks for a window system.
int runMeasurement(int argc, char *argv[], const CommandLine &commandLine)
{
    const ZMeasure::TMeasurementRequest request = measurementRequest(commandLine.options());
    // Standard error carries the measurement's own messages only; the log
    // file keeps every line.
    Logger::setPassOnHandler(nullptr);
    qInstallMessageHandler(earlyMeasurementMessage);
    std::unique_ptr<QCoreApplication> app;
    if (request.needsWidgets()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    commandLine.apply();
    initManagers();
    // The texts of the charts' titles and axes.
    LocalizationManager::instance().loadSavedLanguage(QString());

    int exitCode = ZMeasure::HeadlessMeasurement::kExitNoMeasurement;
    {
        ZMeasure::HeadlessMeasurement measurement(request);
        QObject::connect(&measurement, &ZMeasure::HeadlessMeasurement::signalFinished, app.get(),
                         [](int code) { QCoreApplication::exit(code); });
        measurement.start();
        exitCode = app->exec();
    }
    app.reset();
    return exitCode;
}

} // namespace

QString tag()
{
    static const QString tagText = QStringLiteral("EntryPoint");
    return tagText;
}

void initManagers()
{
    using UtilityModules::Generics::initManager;
    // The order is fixed: each manager may rely on those before it, and a
    // failure is only reported so that the user still gets a window.
    initManager<Logger>();
    Log::info(AppEnvironment::tag(), AppEnvironment::appDirDescription());
    initManager<SettingsManager>();
    initManager<ZData::DeviceMessageManager>();
    initManager<ZData::DM::SerialPort>();
    initManager<ZData::ConnectionManager>();
    initManager<ZData::DeviceManager>();
    initManager<ZData::CalibrationManager>();
    initManager<ZData::DataScanManager>();
    initManager<LocalizationManager>();
}

int run(int argc, char *argv[])
{
    CommandLine::setApplicationIdentity();
    {
        // Help, version, mistakes in the options and a measurement need no
        // display; the GUI application object would end a run without one.
        CommandLine early;
        const CommandLine::EOutcome outcome = early.parse(CommandLine::rawArguments(argc, argv));
        if (early.isFinalWithoutWindow(outcome)) {
            // The help text names the program from the application's arguments.
            const QCoreApplication textOnly(argc, argv);
            return printOutcome(early, outcome);
        }
        if (outcome == CommandLine::EOutcome::Run && early.options().measure)
            return runMeasurement(argc, argv, early);
    }

    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_DisableWindowContextHelpButton);
    auto app = std::make_unique<QApplication>(argc, argv);

    // Parsed after the application object so that Qt's own options
    // (-platform, -style, ...) are already taken out of the arguments.
    CommandLine commandLine;
    const CommandLine::EOutcome outcome = commandLine.parse(QCoreApplication::arguments());
    if (outcome != CommandLine::EOutcome::Run)
        return printOutcome(commandLine, outcome);
    commandLine.apply();

    // Lets the desktop tie the window to the installed menu entry and icon.
    QGuiApplication::setDesktopFileName(QLatin1String(AppEnvironment::kDesktopId));
    QApplication::setWindowIcon(QIcon::fromTheme(QLatin1String(AppEnvironment::kDesktopId)));
    QApplication::setStyle(QStyleFactory::create(QLatin1String(kStyleName)));
    UtilityModules::UI::applyStyleSheet(QLatin1String(kStyleSheetPath));

    auto splashPixmap = createSplashPixmap();
    auto splash = std::make_unique<QSplashScreen>(*splashPixmap);
    splash->show();

    initManagers();

    Log::info(tag(), QStringLiteral(">> loading MainWindow.."));
    auto window = createMainWindow();
    window->show();
    splash->finish(window.get());
    logStartupMilestones(window.get());

    setApplicationFonts();
    const CommandLine::Options &options = commandLine.options();
    const quint16 simulatedServerPort = options.simulate ? freeLoopbackPort() : 0;
    applyStartupOptions(options, simulatedServerPort);
    if (!options.screenshotPath.isEmpty())
        new WindowScreenshot(window.get(), options.screenshotPath);
    std::unique_ptr<SimulatorLauncher> simulator = options.simulate ? startSimulator(simulatedServerPort) : nullptr;
    scheduleQuit(options.quitAfterMs, window.get());

    const int exitCode = app->exec();

    // The port goes before its far end, so that the loss is not mistaken
    // for a pulled cable.
    if (simulator) {
        ZData::DM::SerialPort::instance().close(true);
        simulator.reset();
    }
    window.reset();
    splash.reset();
    splashPixmap.reset();
    app.reset();
    return exitCode;
}

} // namespace ZCore::EntryPoint
