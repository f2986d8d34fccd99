#include "data/device/deviceinfo.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/referencestore.h"
#include "data/traces/touchstone.h"
#include "data/traces/tracefile.h"

#include "chartfixture.h"
#include "logcapture.h"
#include "tempappdir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cmath>

using namespace ZData::TR;
using ZData::EScanChannel;

using Levels = QVector<double>;
Q_DECLARE_METATYPE(Levels)

namespace {

const double kGap = std::nan("");

TTrace trace(const Levels &frequenciesMHz, const Levels &levels)
{
    QVector<double> frequencies;
    for (double mhz : frequenciesMHz)
        frequencies << mhz * 1e6;
    return TTrace(frequencies, levels);
}

// Device, firmware, preset, power, attenuators, levels and date.
TTraceInfo tinyInfo()
{
    return {"1-2-3", "1.15.823", "Tiny", "high", "S21 10 dB, S12 0 dB", ELevelKind::CALIBRATED, QDateTime(QDate(2026, 12, 7), QTime(1, 20), Qt::UTC)};
}

// A tiny preset swept once: S21 with a gap, S12 on its own band, and the
// reference shown on the S21 view.
TTraceFile tinyExport()
{
    TTraceFile file;
    file.info = tinyInfo();
    file.records = {{EScanChannel::S21, ETraceRole::LIVE, trace({880, 897.5, 915}, {-12.25, kGap, -9.5})},
                    {EScanChannel::S12, ETraceRole::LIVE, trace({925, 960}, {-8.1, -5.31})},
                    {EScanChannel::S21, ETraceRole::REFERENCE, trace({880, 915}, {-12, -10})}};
    return file;
}

const QByteArray kTinyCsv = "# Oskiro MERO trace\n"
                            "# device: 1-2-3\n"
                            "# firmware: 1.15.823\n"
                            "# preset: Tiny\n"
                            "# power: high\n"
                            "# levels: calibrated\n"
                            "# attenuators: S21 10 dB, S12 0 dB\n"
                            "# date: 2026-12-07T01:20:00Z\n"
                            "channel,trace,frequency_hz,level_db\n"
                            "S21,live,880000000,-12.250\n"
                            "S21,live,915000000,-9.500\n"
                            "S12,live,925000000,-8.100\n"
                            "S12,live,960000000,-5.310\n"
                            "S21,reference,880000000,-12.000\n"
                            "S21,reference,915000000,-10.000\n";

const QByteArray kTinyS2p = "! Oskiro MERO measurement\n"
                            "! device: 1-2-3\n"
                            "! firmware: 1.15.823\n"
                            "! preset: Tiny\n"
                            "! power: high\n"
                            "! attenuators: S21 10 dB, S12 0 dB\n"
                            "! date: 2026-12-07T01:20:00Z\n"
                            "! Levels are calibrated gain in dB.\n"
                            "! S21 is the uplink, S12 the downlink; only their levels are measured.\n"
                            "! S11 and S22, and S21 or S12 where this file does not hold it, are written as -200.000 dB.\n"
                            "! Angles are not measured and written as 0.\n"
                            "# HZ S DB R 50\n"
                            "! freq S11dB S11ang S21dB S21ang S12dB S12ang S22dB S22ang\n"
                            "880000000 -200.000 0 -12.250 0 -8.100 0 -200.000 0\n"
                            "915000000 -200.000 0 -9.500 0 -5.310 0 -200.000 0\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestTraceFiles : public QObject
{
    Q_OBJECT

private slots:
    void csvRoundTrip();
    void infoOfSweep();
    void refused_data();
    void refused();
    void touchstoneWrite();
    void touchstoneRead_data();
    void touchstoneRead();
    void referenceStore();

private:
    QTemporaryDir m_dir;
};

void TestTraceFiles::csvRoundTrip()
{
    const QString path = m_dir.filePath(QStringLiteral("tiny.csv"));
    QVERIFY(TraceFileFormat::write(path, tinyExport()));
    QCOMPARE(readAll(path), kTinyCsv);
    const std::optional<TTraceFile> read = TraceFileFormat::read(path);
    QVERIFY(read);
    // Imported as a reference: the live S21 trace as exported, gap left out.
    QCOMPARE(read->traceFor(EScanChannel::S21), std::optional<TTrace>(tinyExport().records.at(0).trace.measuredOnly()));
    QCOMPARE(read->traceFor(EScanChannel::S12), std::optional<TTrace>(tinyExport().records.at(1).trace));
    // Header and every record, the reference too, come back as written.
    QCOMPARE(TraceFileFormat::toText(*read), kTinyCsv);
    // Rounded to zero it is written without a sign, or it would not read
    // back and write again the same.
    TTraceFile nearZero;
    nearZero.records = {{EScanChannel::S21, ETraceRole::LIVE, trace({1}, {-0.0004})}};
    QVERIFY(TraceFileFormat::toText(nearZero).endsWith("\nS21,live,1000000,0.000\n"));
}

void TestTraceFiles::infoOfSweep()
{
    TestSupport::ChartFixture fixture;
    QVERIFY(fixture.load({TestSupport::ChartFixture::preset(QStringLiteral("Band"))}, {{"S21_ATT", 10.0}, {"S12_ATT", 0.5}}));
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    scan.setPowerIndex(ZData::DataScanManager::kPowerHigh, false);
    ZData::DeviceInfo device;
    device.id = QStringLiteral("1-2-3");
    device.firmwareVersion = ZCore::TVersion(1, 15, 823);
    const QDateTime date(QDate(2026, 12, 7), QTime(2, 20), Qt::OffsetFromUTC, 3600);
    const TTraceInfo info = TTraceInfo::ofSweep(device, scan, date);
    QCOMPARE(QStringList({info.deviceId, info.firmware, info.preset, info.power, info.attenuators}),
             QStringList({"1-2-3", "1.15.823", "Band", "high", "S21 10 dB, S12 0.5 dB"}));
    QCOMPARE(info.levels, ELevelKind::RAW);
    QVERIFY(TraceFileFormat::toText({info, {}}).contains("\n# date: 2026-12-07T01:20:00Z\n"));
}

// Either format: the file's path and line in the message and the log.
void TestTraceFiles::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason"); // after the file's path
    const QByteArray columns = "channel,trace,frequency_hz,level_db\n";
    QByteArray tooMany = columns;
    for (int i = 0; i <= TraceFileFormat::kMaxRows; ++i)
        tooMany += "S21,live,1,0\n";

    QTest::newRow("no column line") << "bad.csv" << QByteArray("# device: 1\n") << ": has no column line, file refused";
    QTest::newRow("no point") << "bad.csv" << kTinyCsv.left(kTinyCsv.indexOf(columns) + columns.size()) << ": holds no point, file refused";
    QTest::newRow("rows before the column line") << "bad.csv" << QByteArray("frequency,level\n1,2\n") << ":1: expected the column line \"channel,trace,frequency_hz,level_db\", file refused";
    QTest::newRow("unknown channel") << "bad.csv" << columns + "S31,live,1,2\n" << ":2: unknown channel \"S31\", file refused";
    QTest::newRow("unknown trace") << "bad.csv" << columns + "S21,memory,1,2\n" << ":2: unknown trace \"memory\", file refused";
    QTest::newRow("three fields") << "bad.csv" << columns + "S21,live,1\n" << ":2: 3 fields instead of 4, file refused";
    QTest::newRow("not finite") << "bad.csv" << columns + "S21,live,nan,1\n" << ":2: frequency and level must be finite numbers, file refused";
    QTest::newRow("frequency going back") << "bad.csv" << columns + "S21,live,2,0\r\nS12,live,1,0\r\nS21,live,2,0\r\nS21,live,1,0\r\n"
                                          << ":5: frequency 1 Hz is below the one before, file refused";
    QTest::newRow("levels of another kind") << "bad.csv" << "# levels: gain\n" + columns << ":1: levels \"gain\" are neither raw nor calibrated, file refused";
    QTest::newRow("date") << "bad.csv" << "# date: yesterday\n" + columns << ":1: date \"yesterday\" is not an ISO 8601 date and time, file refused";
    QTest::newRow("too many rows") << "bad.csv" << tooMany << QStringLiteral(":%1: more than %2 rows, file refused").arg(TraceFileFormat::kMaxRows + 2).arg(TraceFileFormat::kMaxRows);
    QTest::newRow("too large") << "bad.csv" << QByteArray(int(TraceFileFormat::kMaxFileBytes) + 1, '#')
                               << QStringLiteral(": is larger than %1 bytes, file refused").arg(TraceFileFormat::kMaxFileBytes);
    QTest::newRow("Y parameters") << "bad.s2p" << QByteArray("# HZ Y DB R 50\n")
                                  << ":1: option \"Y\" is not one of S parameters in Hz, kHz, MHz or GHz as DB, MA or RI, file refused";
    QTest::newRow("version 2") << "bad.s2p" << QByteArray("[Version] 2.0\n") << ":1: Touchstone version 2 keywords are not read, file refused";
    QTest::newRow("one-port point") << "bad.s2p" << QByteArray("# HZ S DB\n10 -3 0\n") << ":2: 3 values instead of the 9 of a two-port point, file refused";
    QTest::newRow("text value") << "bad.s2p" << QByteArray("# HZ S DB\n10 0 0 x 0 0 0 0 0\n") << ":2: \"x\" is not a finite number, file refused";
    QTest::newRow("no data") << "bad.s2p" << QByteArray("! nothing\n# HZ S DB\n") << ": holds no data, file refused";
}

void TestTraceFiles::refused()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const QString path = m_dir.filePath(name);
    QVERIFY(writeAll(path, text));
    TestSupport::LogCapture log;
    QString error;
    const bool csv = name.endsWith(QStringLiteral(".csv"));
    QVERIFY(csv ? !TraceFileFormat::read(path, &error) : !Touchstone::read(path, EScanChannel::S21, &error));
    QCOMPARE(error, path + reason);
    QCOMPARE(log.lines(QtWarningMsg), QStringList{(csv ? QStringLiteral("TraceFile >> ") : QStringLiteral("Touchstone >> ")) + path + reason});
}

void TestTraceFiles::touchstoneWrite()
{
    // The tiny export's live S21, and its S12 levels on S21's band.
    const TTrace s21 = tinyExport().records.at(0).trace;
    const TTrace s12 = trace({880, 915}, {-8.1, -5.31});
    const QString path = m_dir.filePath(QStringLiteral("tiny.s2p"));
    QVERIFY(Touchstone::channelsCoincide(s21, s12));
    QVERIFY(Touchstone::write(path, tinyInfo(), s21, s12));
    QCOMPARE(readAll(path), kTinyS2p);

    // Different bands: one file per channel, the other channel not measured.
    const TTrace downlink = tinyExport().records.at(1).trace;
    const QStringList paths = Touchstone::outputPaths(path, s21, downlink);
    QCOMPARE(paths, QStringList({m_dir.filePath(QStringLiteral("tiny_S21.s2p")), m_dir.filePath(QStringLiteral("tiny_S12.s2p"))}));
    QVERIFY(Touchstone::write(path, tinyInfo(), s21, downlink));
    QCOMPARE(Touchstone::read(paths.at(0), EScanChannel::S21), std::optional<TTrace>(s21.measuredOnly()));
    QCOMPARE(Touchstone::read(paths.at(1), EScanChannel::S12), std::optional<TTrace>(downlink));
    QCOMPARE(Touchstone::read(paths.at(1), EScanChannel::S21), std::optional<TTrace>(trace({925, 960}, {-200, -200})));
    QCOMPARE(Touchstone::outputPaths(path, TTrace(), downlink), QStringList{path});
    TestSupport::LogCapture log;
    QVERIFY(!Touchstone::write(path, tinyInfo(), TTrace(), TTrace()));
}

void TestTraceFiles::touchstoneRead_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<Levels>("frequenciesMHz");
    QTest::addColumn<Levels>("levels");
    const QByteArray twoPoints = "100 0 0 0.1 0 0.5 0 0 0\n200 0 0 1 0 0.01 0 0 0\n";
    QTest::newRow("MA in MHz, S21") << "# MHz S MA R 50\n" + twoPoints << 0 << Levels{100, 200} << Levels{-20, 0};
    QTest::newRow("RI in GHz by default") << QByteArray("# S RI\n1 0 0 0.6 0.8 0 0 0 0\n") << 0 << Levels{1000} << Levels{0};
    QTest::newRow("zero magnitude, S12, lower case") << QByteArray("# s ri\n1 0 0 0.6 0.8 0 0 0 0\n") << 1 << Levels{1000} << Levels{-200};
    QTest::newRow("no option line") << QByteArray("1.5 0 0 0.1 0 0 0 0 0\n") << 0 << Levels{1500} << Levels{-20};
    QTest::newRow("comments, second option line and noise data")
        << QByteArray("! made by hand\n# HZ S DB R 50\n10e6\t0 0 -3 0 -4 0 0 0 ! end\r\n# GHZ S MA\n20e6 0 0 -5 0 -6 0 0 0\n! NOISE\n10e6 2.5 0.5 45 10\n")
        << 0 << Levels{10, 20} << Levels{-3, -5};
}

void TestTraceFiles::touchstoneRead()
{
    QFETCH(QByteArray, text);
    QFETCH(int, parameter);
    QFETCH(Levels, frequenciesMHz);
    QFETCH(Levels, levels);
    QString error;
    const std::optional<TTrace> read = Touchstone::parse(text, QStringLiteral("in.s2p"), ZData::clampChannel(parameter), &error);
    QVERIFY2(read, qPrintable(error));
    const TTrace expected = trace(frequenciesMHz, levels);
    QCOMPARE(read->frequencies(), expected.frequencies());
    for (int i = 0; i < levels.size(); ++i)
        QVERIFY(std::fabs(read->levelDb(i) - levels.at(i)) < 1e-9);
}

void TestTraceFiles::referenceStore()
{
    TestSupport::TempAppDir appDir;
    const QString device = QStringLiteral("1-2-3");
    const QString preset = QStringLiteral("../GSM 900");
    const TTrace reference = trace({880, 915}, {-12, -10});
    QVERIFY(!ReferenceStore::load(device, preset, EScanChannel::S12));
    QVERIFY(ReferenceStore::save(device, preset, EScanChannel::S12, tinyInfo(), reference));
    const QString path = ReferenceStore::filePath(device, preset, EScanChannel::S12);
    // Whatever the preset is called, its file stays in the device's folder.
    QCOMPARE(QFileInfo(path).dir().absolutePath(), QDir(ReferenceStore::dirPath()).absoluteFilePath(device));
    QCOMPARE(ReferenceStore::load(device, preset, EScanChannel::S12), std::optional<TTrace>(reference));
    QVERIFY(!ReferenceStore::load(device, preset, EScanChannel::S21));
    // The longest name a preset may have, in letters that encode long.
    const QString longName(128, QChar(0x0416));
    QVERIFY(ReferenceStore::save(device, longName, EScanChannel::S21, tinyInfo(), reference));
    QCOMPARE(ReferenceStore::load(device, longName, EScanChannel::S21), std::optional<TTrace>(reference));
    QVERIFY(!ReferenceStore::load(device, longName.left(127), EScanChannel::S21));

    QVERIFY(writeAll(path, kTinyCsv + "S12,reference,1,x\n"));
    TestSupport::LogCapture log;
    QVERIFY(!ReferenceStore::load(device, preset, EScanChannel::S12));
    QCOMPARE(log.lines(QtWarningMsg),
             QStringList{"TraceFile >> " + path + ":16: frequency and level must be finite numbers, file refused"});
    QVERIFY(ReferenceStore::remove(device, preset, EScanChannel::S12));
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestTraceFiles)
#include "tst_tracefiles.moc"
