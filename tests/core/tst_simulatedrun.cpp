#include <QChart>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Generous: a debug build under the sanitizers on a shared machine.
constexpr int kRunGuardMs = 120000;
constexpr QSize kWindowSize(1000, 550);
// Anti-aliasing blends the curve into the background at its edges.
constexpr int kColorTolerance = 40;
constexpr int kMinimumCurvePixels = 20;

// The colour the dark chart theme gives the first line series.
QColor curveColor()
{
    QtCharts::QChart chart;
    chart.setTheme(QtCharts::QChart::ChartThemeDark);
    auto *series = new QtCharts::QLineSeries();
    chart.addSeries(series);
    return series->pen().color();
}

bool isNear(QRgb pixel, const QColor &color)
{
    return qAbs(qRed(pixel) - color.red()) + qAbs(qGreen(pixel) - color.green())
               + qAbs(qBlue(pixel) - color.blue())
           <= kColorTolerance;
}

int countNear(const QImage &image, const QRect &area, const QColor &color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += isNear(image.pixel(x, y), color) ? 1 : 0;
    return count;
}

} // namespace

// The application as a user without a device runs it: the bundled
// simulator as its device, a picture of the window as its only output.
class TestSimulatedRun : public QObject
{
    Q_OBJECT

private slots:
    void screenshotShowsBothChannels();
};

void TestSimulatedRun::screenshotShowsBothChannels()
{
    const QString appBin = qEnvironmentVariable("MERO_APP_BIN");
    QVERIFY2(QFileInfo(appBin).isExecutable(), qPrintable(QStringLiteral("MERO_APP_BIN: '%1'").arg(appBin)));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString picture = dir.filePath(QStringLiteral("window.png"));

    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(appBin, {QStringLiteral("--simulate"), QStringLiteral("--screenshot"), picture,
                       QStringLiteral("--data-dir"), dir.filePath(QStringLiteral("data"))});
    if (!app.waitForFinished(kRunGuardMs)) {
        app.kill();
        app.waitForFinished();
        QFAIL("the application did not finish by itself");
    }
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    const QImage image(picture);
    QVERIFY2(!image.isNull(), qPrintable(picture));
    QCOMPARE(image.size(), kWindowSize);

    // With the menu closed, S21 fills the upper and S12 the lower half of
    // the chart area below the title bar.
    const int half = image.height() / 2;
    const QRect upper(0, image.height() / 8, image.width(), half - image.height() / 8);
    const QRect lower(0, half, image.width(), image.height() - half);
    const QColor color = curveColor();
    QVERIFY2(countNear(image, upper, color) >= kMinimumCurvePixels, "no S21 curve in the upper chart");
    QVERIFY2(countNear(image, lower, color) >= kMinimumCurvePixels, "no S12 curve in the lower chart");

    // The simulator and its private link went with the application.
    const QFileInfoList logs = QDir(dir.filePath(QStringLiteral("data/logs")))
                                   .entryInfoList({QStringLiteral("*.log")}, QDir::Files);
    QString log;
    for (const QFileInfo &info : logs) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            log += QString::fromUtf8(file.readAll());
    }
    const QRegularExpression ready(QStringLiteral(">> simulated device ready at (\\S+)"));
    const QRegularExpressionMatch match = ready.match(log);
    QVERIFY2(match.hasMatch(), qPrintable(log));
    QVERIFY(!QFileInfo::exists(match.captured(1)));
}

QTEST_MAIN(TestSimulatedRun)
#include "tst_simulatedrun.moc"
