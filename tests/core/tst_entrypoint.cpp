#include "calibrationbytes.h"
#include "core/simulatorlauncher.h"
#include "data/traces/tracefile.h"
#include "loopbackhttpserver.h"
#include "measure/chartspicture.h"
#include "ptypair.h"

#include <QChart>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <optional>

namespace {

// A guard against a hung child only; the run itself takes a fraction of it.
constexpr int kRunGuardMs = 120000;
// Start-up under the sanitizers, identification, a reconnect step of
// 2000 ms and identification again all fit well inside.
constexpr int kLinkWaitMs = 30000;

// The one log file of a run, or nothing when there is not exactly one; the
// simulator started with --simulate keeps its own beside it.
QString readLog(const QString &dataDir)
{
    const QFileInfoList logs = QDir(QDir(dataDir).filePath(QStringLiteral("logs")))
                                   .entryInfoList({QStringLiteral("[0-9][0-9][0-9][0-9]-*.log")}, QDir::Files);
    QFile file(logs.size() == 1 ? logs.first().filePath() : QString());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// As on a terminal over ssh.
QProcessEnvironment environmentWithoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    return environment;
}

// The simulator's calibration of the tiny preset: what the window would
// have stored after calibrating.
bool writeCalibration(const QString &dataDir)
{
    const QString id = QStringLiteral("4587553-825774358-875575351");
    const QString path = QDir(dataDir).filePath(QStringLiteral("calibs/%1/main.cbin").arg(id));
    ZData::TScanPreset tiny;
    for (int s12 = 0; s12 < 2; ++s12)
        tiny.channel(s12) = ZData::TChannelPreset(ZData::TScanRange(ZCore::TFrequency(s12 ? 925e6 : 880e6), ZCore::TFrequency(s12 ? 960e6 : 915e6), 10));
    QSettings table(QDir(dataDir).filePath(QStringLiteral("calibs/calib_table.ini")), QSettings::IniFormat);
    table.setValue(id, path);
    table.sync();
    return QDir(dataDir).mkpath(QStringLiteral("calibs/") + id) && TestSupport::writeCompleteCalibrationFile(path, {tiny}, id)
        && table.status() == QSettings::NoError;
}

} // namespace

// Runs the built application as a user or a script would, headless.
class TestEntryPoint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void commandLineOutcomes_data();
    void commandLineOutcomes();
    void identifiesSimulatorAndReconnects();
    void measureOutcomes_data();
    void measureOutcomes();
    void simulatedScreenshotShowsBothChannels();
    void slowSimulatorIsAwaited();

private:
    QString m_appBin;
};

void TestEntryPoint::initTestCase()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    m_appBin = qEnvironmentVariable("MERO_APP_BIN");
    QVERIFY2(QFileInfo(m_appBin).isExecutable(), qPrintable("MERO_APP_BIN: " + m_appBin));
}

void TestEntryPoint::commandLineOutcomes_data()
{
    QTest::addColumn<QStringList>("arguments");
    // Without one, as on a terminal over ssh.
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("version") << QStringList{"--version"} << false << 0 << "oskiro-mero 1.15.823\n" << "";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << true << 1 << "" << "oskiro-mero: Unknown option 'bogus'.";
    // A measurement's mistakes are told apart from a failed verdict, and
    // never reach for a display.
    QTest::newRow("measure usage") << QStringList{"--measure", "--simulate", "--sweeps", "0"}
                                   << false << 2 << "" << "Invalid value '0' for '--sweeps'";
    // Qt's own options are no mistake, and name a display of their own.
    QTest::newRow("platform option") << QStringList{"-platform", "offscreen", "--version"} << false << 0
                                     << "oskiro-mero 1.15.823\n" << "";
    QTest::newRow("window quits by itself") << QStringList{"--unattended", "--quit-after", "100"} << true << 0 << "" << "";
}

void TestEntryPoint::commandLineOutcomes()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dataDir;
    QProcess app;
    app.setProcessEnvironment(display ? QProcessEnvironment::systemEnvironment() : environmentWithoutDisplay());
    app.start(m_appBin, QStringList{"--data-dir", dataDir.path()} + arguments);
    QVERIFY(app.waitForFinished(kRunGuardMs));
    QCOMPARE(app.exitCode(), exitCode);
    const QString printed = QString::fromUtf8(app.readAllStandardOutput());
    QVERIFY2(out.isEmpty() ? printed.isEmpty() : printed.startsWith(out), qPrintable(printed));
    QVERIFY(QString::fromUtf8(app.readAllStandardError()).contains(err));
    // Nothing starts before the command line is understood: no logs, no
    // profiles; a run that gets as far as the window leaves both.
    const QStringList made = QDir(dataDir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QVERIFY2(exitCode == 0 && out.isEmpty() ? made.contains("logs") && made.contains("profiles") : made.isEmpty(),
             qPrintable(made.join(' ')));
}

// The two real programs, as a field engineer would run them: the simulator
// standalone on its link, the application pointed at it. The cable is pulled
// the way a person can pull it from outside, by a signal to the simulator.
void TestEntryPoint::identifiesSimulatorAndReconnects()
{
    const QString simBin = qEnvironmentVariable("MERO_SIM_BIN");
    QVERIFY2(QFileInfo(simBin).isExecutable(), qPrintable("MERO_SIM_BIN: " + simBin));
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyMERO"));
    const QString dataDir = dir.filePath(QStringLiteral("app"));
    // The version report after identification goes here, never to a name
    // that would have to be resolved.
    TestSupport::LoopbackHttpServer updateServer;
    updateServer.setDefaultResponse(TestSupport::LoopbackHttpServer::Response::text("#OK: accepted"));

    QProcess sim;
    QProcess app;
    // A failed check returns early; neither program may outlive the test.
    const auto stopBoth = qScopeGuard([&] { app.kill(), sim.kill(), app.waitForFinished(), sim.waitForFinished(); });
    sim.setProcessChannelMode(QProcess::ForwardedChannels);
    sim.start(simBin, {"--link", link, "--unplug-delay", "500"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), kLinkWaitMs);
    app.start(m_appBin, {"--data-dir", dataDir, "--unattended", "--port", link, "--update-url",
                         updateServer.url("/android").toString(), "--quit-after", QString::number(kRunGuardMs)});

    const QString deviceInfo = QStringLiteral("DeviceManager >> device info:\nID:      4587553-825774358-875575351\nType:    "
                                              "EDeviceTypes::OSKIRO_MERO\nState:   EDeviceStates::MAINAPP\nVersion: 1.4.12\n");
    QTRY_VERIFY_WITH_TIMEOUT(readLog(dataDir).contains(deviceInfo), kLinkWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(updateServer.requests().size(), 1, kLinkWaitMs);

    // After the pulled cable: found again, identified again, reported again.
    QVERIFY(::kill(pid_t(sim.processId()), SIGUSR1) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(readLog(dataDir).count(deviceInfo) == 2, kLinkWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(updateServer.requests().size(), 2, kLinkWaitMs);
}

void TestEntryPoint::measureOutcomes_data()
{
    QTest::addColumn<QStringList>("arguments");
    // Appended to the one tiny preset of the user profile.
    QTest::addColumn<QString>("limits");
    // The device: the simulator, or a port whose far end never answers.
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("calibration");
    QTest::addColumn<int>("exitCode");
    // The verdicts of S21 and S12; empty when no line may be printed.
    QTest::addColumn<QStringList>("verdicts");
    QTest::addColumn<QString>("err");

    const QString passS21 = "1\\S21\\limits\\1\\start=880000000\n1\\S21\\limits\\1\\stop=915000000\n"
                            "1\\S21\\limits\\1\\lower=-200\n1\\S21\\limits\\size=1\n";
    const QString failS12 = "1\\S12\\limits\\1\\start=925000000\n1\\S12\\limits\\1\\stop=960000000\n"
                            "1\\S12\\limits\\1\\upper=-200\n1\\S12\\limits\\size=1\n";
    // The one row with exports: it is calibrated at high power.
    QTest::newRow("passes") << QStringList{"--sweeps", "2", "--power", "high", "--calibrated", "--export", "out.csv",
                                           "--export", "out.png"}
                            << passS21 << false << true << 0 << QStringList{"PASS", "NONE"} << "";
    QTest::newRow("fails") << QStringList{} << passS21 + failS12 << false << false << 1
                           << QStringList{"PASS", "FAIL"} << "";
    QTest::newRow("no such preset") << QStringList{"--preset", "2"} << QString() << false << false << 2
                                    << QStringList() << "there is no preset 2";
    QTest::newRow("no calibration") << QStringList{"--calibrated"} << QString() << false << false << 2
                                    << QStringList() << "the device has no calibration";
    QTest::newRow("silent device") << QStringList{"--timeout", "1"} << QString() << true << false << 2
                                   << QStringList() << "no complete measurement within 1 s";
}

// The measurement as a production script runs it: no display, the
// simulator answering at once, the window's profiles in the data directory.
void TestEntryPoint::measureOutcomes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, limits);
    QFETCH(bool, silent);
    QFETCH(bool, calibration);
    QFETCH(int, exitCode);
    QFETCH(QStringList, verdicts);
    QFETCH(QString, err);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("profiles")));
    const auto writeProfile = [&dir](const QString &name, const QString &text) {
        QFile file(dir.filePath(QStringLiteral("profiles/") + name));
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
    };
    QVERIFY(writeProfile("user.ini", "[Range_Presets]\nsize=1\n1\\name=Tiny\n"
                                     "1\\S21\\start=880000000\n1\\S21\\stop=915000000\n1\\S21\\points=10\n"
                                     "1\\S12\\start=925000000\n1\\S12\\stop=960000000\n1\\S12\\points=10\n"
                                     + limits));
    // The window's own choice, which a measurement of another power and
    // attenuation must leave as it is.
    const QByteArray current = "[Default]\nselected_scan_preset=3\nselected_source_power=1\n\n"
                               "[RF]\nRF_OFFSET=1\nS12_AMP_ORIGIN=20\nS12_ATT=7\nS21_AMP_ORIGIN=20\nS21_ATT=3\n";
    QVERIFY(writeProfile("current.ini", QString::fromUtf8(current)));
    QVERIFY(!calibration || writeCalibration(dir.path()));

    TestSupport::PtyPair silentDevice;
    const QStringList link = silent ? QStringList{"--port", silentDevice.slaveName()} : QStringList{"--simulate"};
    QProcess app;
    QProcessEnvironment environment = environmentWithoutDisplay();
    environment.insert("MERO_SIM_TIMING", "instant");
    app.setProcessEnvironment(environment);
    app.setWorkingDirectory(dir.path());
    app.start(m_appBin, QStringList{"--data-dir", dir.path(), "--measure"} + link + arguments);
    QVERIFY(app.waitForFinished(kRunGuardMs));
    const QString errText = QString::fromUtf8(app.readAllStandardError());
    QVERIFY2(app.exitStatus() == QProcess::NormalExit && app.exitCode() == exitCode, qPrintable(errText));
    QVERIFY2(errText.contains(err), qPrintable(errText));

    const QStringList lines = QString::fromUtf8(app.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), verdicts.size());
    const QRegularExpression shape(QStringLiteral(
        "^(S21|S12) points=10 min=(-?\\d+\\.\\d\\d) max=(-?\\d+\\.\\d\\d) flatness=(\\d+\\.\\d\\d) limits=(\\w+)$"));
    for (int channel = 0; channel < lines.size(); ++channel) {
        const QRegularExpressionMatch match = shape.match(lines.at(channel));
        QVERIFY2(match.hasMatch(), qPrintable(lines.at(channel)));
        QCOMPARE(match.captured(1), channel == 0 ? QStringLiteral("S21") : QStringLiteral("S12"));
        QCOMPARE(match.captured(5), verdicts.at(channel));
        const double min = match.captured(2).toDouble(), max = match.captured(3).toDouble();
        // Levels a repeater's gain reads on the raw scale, not placeholders.
        QVERIFY2(min < max && min > -130.0 && max < 40.0, qPrintable(lines.at(channel)));
        QVERIFY(qAbs(match.captured(4).toDouble() - (max - min)) <= 0.011);
    }
    QFile currentAfter(dir.filePath(QStringLiteral("profiles/current.ini")));
    QCOMPARE(currentAfter.open(QIODevice::ReadOnly) ? currentAfter.readAll() : QByteArray(), current);

    if (!arguments.contains("out.csv"))
        return;
    // Both charts, drawn without a display.
    const QSize view = ZMeasure::ChartsPicture::kViewSize;
    QCOMPARE(QImage(dir.filePath("out.png")).size(), QSize(view.width(), 2 * view.height()));
    // The export holds the sweep the lines describe, at the power asked for.
    const std::optional<ZData::TR::TTraceFile> file = ZData::TR::TraceFileFormat::read(dir.filePath("out.csv"));
    QVERIFY(file && file->info.power == QStringLiteral("high") && file->info.levels == ZData::TR::ELevelKind::CALIBRATED);
    for (int channel = 0; channel < lines.size(); ++channel) {
        const std::optional<ZData::TR::TTrace> trace = file->traceFor(channel);
        QVERIFY(trace && trace->size() == 10);
        const double min = *std::min_element(trace->levels().cbegin(), trace->levels().cend());
        QVERIFY2(lines.at(channel).contains(QStringLiteral("min=%1 ").arg(min, 0, 'f', 2)), qPrintable(lines.at(channel)));
    }
}

// The application as a user without a device runs it: the bundled
// simulator as its device, a picture of the window as its only output.
void TestEntryPoint::simulatedScreenshotShowsBothChannels()
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("window.png"));
    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(m_appBin, {"--simulate", "--screenshot", picture, "--data-dir", dir.filePath(QStringLiteral("data"))});
    const auto stop = qScopeGuard([&app] { app.kill(), app.waitForFinished(); });
    QVERIFY2(app.waitForFinished(kRunGuardMs), "the application did not finish by itself");
    QVERIFY(app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0);
    const QImage image(picture);
    QCOMPARE(image.size(), QSize(1000, 550));
    const QString log = readLog(dir.filePath("data"));
    // The version line first, then where the data lives, then the window.
    const int appDirLine = log.indexOf("]: AppEnvironment >> application directory (chosen): " + dir.filePath("data") + '\n');
    QVERIFY2(log.section('\n', 0, 0).endsWith("]: Logger >> initializing Application ver. 1.15.823.."), qPrintable(log));
    QVERIFY2(appDirLine > 0 && log.indexOf("]: EntryPoint >> loading MainWindow..\n") > appDirLine, qPrintable(log));

    // With the menu closed, S21 fills the upper and S12 the lower half of
    // the chart area below the title bar, in the dark theme's first colour.
    QtCharts::QChart chart;
    chart.setTheme(QtCharts::QChart::ChartThemeDark);
    auto *series = new QtCharts::QLineSeries();
    chart.addSeries(series);
    const QColor color = series->pen().color();
    const auto curvePixels = [&image, &color](int top, int bottom) {
        int count = 0;
        // Anti-aliasing blends the curve into the background at its edges.
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qAbs(qRed(image.pixel(x, y)) - color.red()) + qAbs(qGreen(image.pixel(x, y)) - color.green())
                             + qAbs(qBlue(image.pixel(x, y)) - color.blue()) <= 40;
        return count;
    };
    const int half = image.height() / 2;
    QVERIFY2(curvePixels(image.height() / 8, half) >= 20, "no S21 curve in the upper chart");
    QVERIFY2(curvePixels(half, image.height()) >= 20, "no S12 curve in the lower chart");

    // The simulator and its private link went with the application.
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(">> simulated device ready at (\\S+)")).match(log);
    QVERIFY(match.hasMatch() && !QFileInfo::exists(match.captured(1)));
}

// A simulator slower to publish its link than the first look for it, as on
// a loaded machine, is waited for.
void TestEntryPoint::slowSimulatorIsAwaited()
{
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("slow-sim")));
    QVERIFY(script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\nsleep 0.3\ntouch \"$2\"\nexec sleep 30\n") > 0);
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    ZCore::SimulatorLauncher launcher;
    QSignalSpy ready(&launcher, &ZCore::SimulatorLauncher::signalLinkReady);
    QSignalSpy failed(&launcher, &ZCore::SimulatorLauncher::signalFailed);
    QVERIFY(launcher.start(script.fileName()));
    QVERIFY(ready.wait(5000));
    QCOMPARE(failed.count(), 0);
}

QTEST_MAIN(TestEntryPoint)
#include "tst_entrypoint.moc"
