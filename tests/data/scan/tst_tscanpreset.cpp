#include "data/scan/tscanpreset.h"

#include "logcapture.h"
#include "recordingdialogs.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using ZCore::TFrequency;
using ZData::TChannelPreset;
using ZData::TScanPreset;
using ZData::TScanRange;
namespace PS = ZData::PresetSettings;

Q_DECLARE_METATYPE(TChannelPreset)

namespace {

const double kUnset = std::numeric_limits<double>::quiet_NaN();

TChannelPreset channel(double startMHz, double stopMHz, quint32 points, const QVector<double> &marksMHz)
{
    TChannelPreset preset(TScanRange(TFrequency(startMHz, TFrequency::kMultiplierMHz), TFrequency(stopMHz, TFrequency::kMultiplierMHz), points));
    for (double mark : marksMHz)
        preset.marks << (std::isnan(mark) ? ZData::TMark() : ZData::TMark(TFrequency(mark, TFrequency::kMultiplierMHz)));
    return preset;
}

// Profile lines with every key moved under prefix (an INI key path).
QByteArray underGroup(const QByteArray &lines, const QByteArray &prefix)
{
    QByteArray result;
    for (const QByteArray &line : lines.split('\n'))
        result += line.isEmpty() ? QByteArray() : prefix + line + '\n';
    return result;
}

// One complete entry of the preset list, its S21 channel given.
QByteArray presetEntry(const QByteArray &index, const QByteArray &name, const QByteArray &s21 = "start=1\nstop=2\npoints=2\n")
{
    return index + "\\name=" + name + "\n" + underGroup(s21, index + "\\S21\\")
           + underGroup("start=1\nstop=2\npoints=2\n", index + "\\S12\\");
}

} // namespace

class TestTScanPreset : public QObject
{
    Q_OBJECT

private slots:
    void readChannel_data();
    void readChannel();
    void readPresetList_data();
    void readPresetList();
    void writeThenRead();

private:
    // A profile file holding text, opened the way the profiles are.
    std::unique_ptr<QSettings> profile(const QByteArray &text);

    QTemporaryDir m_files;
    int m_fileSerial = 0;
};

std::unique_ptr<QSettings> TestTScanPreset::profile(const QByteArray &text)
{
    const QString path = m_files.filePath(QStringLiteral("profile%1.ini").arg(++m_fileSerial));
    if (QFile file(path); file.open(QIODevice::WriteOnly))
        file.write(text);
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    return settings;
}

void TestTScanPreset::readChannel_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<TChannelPreset>("expected"); // compared only when read
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("1024 points") << QByteArray("start=870000000\nstop=925000000\npoints=1024\n") << true << channel(870, 925, 1024, {}) << QStringList();
    QTest::newRow("missing points read as 0") << QByteArray("start=870000000\nstop=925000000\n") << true << channel(870, 925, 0, {}) << QStringList();
    QTest::newRow("text points") << QByteArray("start=1\nstop=2\npoints=many\n") << false << TChannelPreset() << QStringList();
    QByteArray seven = "start=100000000\nstop=200000000\npoints=10\nmarks\\size=7\n";
    for (int i = 1; i <= 7; ++i)
        seven += "marks\\" + QByteArray::number(i) + "\\freq=" + QByteArray::number(i * 100000000) + "\n";
    QTest::newRow("7 marks read as 5") << seven << true << channel(100, 200, 10, {100, 200, 300, 400, 500}) << QStringList();
    QTest::newRow("huge marks size") << QByteArray("start=100000000\nstop=200000000\npoints=10\nmarks\\size=2147483648\nmarks\\1\\freq=100000000\n") << true << channel(100, 200, 10, {100}) << QStringList();
    QTest::newRow("mark gap and text left unset") << QByteArray("start=100000000\nstop=200000000\npoints=10\nmarks\\size=3\nmarks\\1\\freq=abc\nmarks\\3\\freq=300000000\n") << true << channel(100, 200, 10, {kUnset, kUnset, 300}) << QStringList();
    const QByteArray range = "start=880000000\nstop=960000000\npoints=10\n";
    const QString refused = QStringLiteral("LimitMask >> limit %1 of Range_Presets/1/S21 refused: ");
    TChannelPreset limited = channel(880, 960, 10, {});
    limited.limits = {{880e6, 915e6, -15.0, {}}, {925e6, 960e6, {}, -5.5}};
    QTest::newRow("bad limits refused, the rest loads")
        << range + "limits\\size=7\n"
                   "limits\\1\\start=880000000\nlimits\\1\\stop=915000000\nlimits\\1\\lower=-15\n"
                   "limits\\2\\start=915000000\nlimits\\2\\stop=915000000\nlimits\\2\\lower=-15\n"
                   "limits\\3\\start=880000000\nlimits\\3\\stop=915000000\n"
                   "limits\\4\\start=880000000\nlimits\\4\\stop=915000000\nlimits\\4\\lower=-5\nlimits\\4\\upper=-15\n"
                   "limits\\5\\start=880000000\nlimits\\5\\stop=915000000\nlimits\\5\\lower=low\n"
                   "limits\\6\\start=880000000\nlimits\\6\\stop=inf\nlimits\\6\\upper=-5\n"
                   "limits\\7\\start=925000000\nlimits\\7\\stop=960000000\nlimits\\7\\upper=-5.5\n"
        << true << limited
        << QStringList{refused.arg(2) + "start 915000000 Hz is not below stop 915000000 Hz",
                       refused.arg(3) + "has neither \"lower\" nor \"upper\"", refused.arg(4) + "lower -5 is above upper -15",
                       refused.arg(5) + "\"lower\" is not a finite number: \"low\"",
                       refused.arg(6) + "\"stop\" is not a finite number: \"inf\""};
    // Only the first entries are read: the one at 33 is never seen.
    QStringList missing;
    for (int i = 1; i <= ZData::TR::TLimitSegment::kMaxSegments; ++i)
        missing << refused.arg(i) + "needs both \"start\" and \"stop\"";
    QTest::newRow("limits size bounded") << range + "limits\\size=100000\nlimits\\33\\start=1\nlimits\\33\\stop=2\nlimits\\33\\upper=0\n"
                                         << true << channel(880, 960, 10, {}) << missing;
}

void TestTScanPreset::readChannel()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, ok);
    QFETCH(TChannelPreset, expected);
    QFETCH(QStringList, warnings);
    TestSupport::RecordingDialogs dialogs;
    auto settings = profile("[Range_Presets]\n" + underGroup(entry, "1\\S21\\"));
    TestSupport::LogCapture log;
    settings->beginGroup(QStringLiteral("Range_Presets/1/S21"));
    TChannelPreset preset;
    QCOMPARE(PS::readChannelPreset(*settings, preset), ok);
    if (ok)
        QCOMPARE(preset, expected);
    QCOMPARE(log.lines(QtWarningMsg).filter(QStringLiteral("LimitMask")), warnings);
}

void TestTScanPreset::readPresetList_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("fatal");
    const QByteArray ac = "[Range_Presets]\n" + presetEntry("1", "A") + presetEntry("3", "C");
    QTest::newRow("gap in the middle") << ac + "size=3\n" << QStringList{"A", "C"} << false;
    QTest::newRow("size larger than the entries") << ac + "size=2147483647\n" << QStringList{"A", "C"} << false;
    QTest::newRow("negative size") << ac + "size=-1\n" << QStringList{} << false;
    QTest::newRow("entries up to the thousandth") << "[Range_Presets]\n" + presetEntry("1", "A") + presetEntry("500", "E") + presetEntry("1000", "M") + presetEntry("1001", "X") + "size=1001\n" << QStringList{"A", "E", "M"} << false;
    QTest::newRow("unquoted comma in a name") << ac + presetEntry("2", "LTE 800, band 20") + "size=3\n" << QStringList{"A", "LTE 800, band 20", "C"} << false;
    QTest::newRow("broken entry skipped") << ac + presetEntry("2", "B", "points=x\n") + "size=3\n" << QStringList{"A", "C"} << false;
    QTest::newRow("1025 points is fatal") << ac + presetEntry("2", "Big", "start=1\nstop=2\npoints=1025\n") + "size=3\n" << QStringList{"A", "C"} << true;
}

void TestTScanPreset::readPresetList()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(bool, fatal);
    TestSupport::RecordingDialogs dialogs;
    auto settings = profile(text);
    TestSupport::LogCapture log;
    QStringList read;
    for (const TScanPreset &preset : PS::readScanPresets(*settings))
        read << preset.name;
    QCOMPARE(read, names);
    QVERIFY(settings->group().isEmpty());
    QCOMPARE(dialogs.exitCodes(), fatal ? QList<int>{1} : QList<int>{});
    QCOMPARE(log.lines(QtFatalMsg), fatal ? QStringList{"TScanPreset Points value is too high 1025 in preset Range_Presets/2/S21."} : QStringList{});
}

void TestTScanPreset::writeThenRead()
{
    QList<TScanPreset> bands{TScanPreset(QStringLiteral("GSM900/UMTS900")), TScanPreset(QStringLiteral("Диапазон"))};
    bands[0].channels = {channel(870, 925, 100, {880, 895, 915}), channel(915, 970, 100, {925, 945, 960})};
    bands[1].channels = {channel(1, 6200, 1024, {1, kUnset, 3, 4, 5}), channel(780, 850, 2, {1.50000075})};
    bands[0].channels[0].limits = {{880e6, 915e6, -15.25, {}}, {915e6, 925.5e6, -0.1, 3.0}, {945e6, 960e6, {}, -5.0}};
    const std::unique_ptr<QSettings> out = profile(QByteArray());
    PS::writeScanPresets(*out, bands);
    out->sync();
    QSettings in(out->fileName(), QSettings::IniFormat);
    in.setIniCodec("UTF-8");
    // Frequencies are stored in whole hertz.
    bands[1].channels[1].marks = {TFrequency(1500000.0)};
    QCOMPARE(PS::readScanPresets(in), bands);
}

QTEST_GUILESS_MAIN(TestTScanPreset)
#include "tst_tscanpreset.moc"
