#include "data/calibration/calibdata.h"

#include "lebytes.h"
#include "logcapture.h"

#include <QBuffer>
#include <QDataStream>
#include <QtTest>

#include <limits>

using ZCore::TFrequency;
using ZData::TChannelPreset;
using ZData::TScanPreset;
using ZData::TScanRange;
using ZData::CAL::CalibData;
using ZData::CAL::CalibPreset;
using ZData::CAL::TCalibValue;
using TestSupport::LeBytes::littleEndianDouble;
using TestSupport::LeBytes::littleEndianInt32;

Q_DECLARE_METATYPE(TScanRange)

namespace {

constexpr int kRecordHeaderBytes = 20;
constexpr int kValueBytes = 16;

TFrequency mhz(double value)
{
    return TFrequency(value, TFrequency::kMultiplierMHz);
}

QByteArray rangeBytes(double startHz, double stopHz, qint32 points)
{
    return littleEndianDouble(startHz) + littleEndianDouble(stopHz) + littleEndianInt32(points);
}

void setUpStream(QDataStream &stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

// Either record in the calibration file's stream setup.
template <typename Record>
QByteArray serialized(const Record &record)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    setUpStream(stream);
    record.serialize(stream);
    return bytes;
}

CalibData filled(const TScanRange &range, float first, float step)
{
    CalibData data;
    data.range = range;
    data.values.resize(int(range.points));
    for (int i = 0; i < data.values.size(); ++i)
        data.values[i] = TCalibValue(first + step * float(i), 0.0f);
    data.valid = true;
    return data;
}

TScanPreset twoChannelPreset(const TScanRange &s21, const TScanRange &s12)
{
    TScanPreset preset(QStringLiteral("P"));
    preset.channels[0] = TChannelPreset(s21);
    preset.channels[1] = TChannelPreset(s12);
    return preset;
}

} // namespace

class TestCalibData : public QObject
{
    Q_OBJECT

private slots:
    void newEntriesAreEmpty();
    void twoPointRecordBytes();
    void recordSizeFollowsRange_data();
    void recordSizeFollowsRange();
    void roundTrip_data();
    void roundTrip();
    void rejectsRecord_data();
    void rejectsRecord();
    void presetWritesEntriesInIndexOrder();
    void presetDeserialize_data();
    void presetDeserialize();
};

void TestCalibData::newEntriesAreEmpty()
{
    const CalibPreset preset;
    for (const CalibData &data : preset.entries) {
        QVERIFY(!data.hasData());
        QCOMPARE(data.range.points, 0u);
        QCOMPARE(data.values.size(), int(TScanRange::kMaxPoints));
    }
    // Channel and power are clamped into the four entries.
    QCOMPARE(&preset.entry(-3, -1), &preset.entries[0]);
    QCOMPARE(&preset.entry(7, 0), &preset.entries[1]);
    QCOMPARE(&preset.entry(0, 9), &preset.entries[2]);
    QCOMPARE(&preset.entry(1, 1), &preset.entries[3]);
}

void TestCalibData::twoPointRecordBytes()
{
    CalibData data;
    data.range = TScanRange(mhz(100), mhz(200), 2);
    data.values = {TCalibValue(1.0f, 0.0f), TCalibValue(0.5f, 0.0f)};
    data.valid = true;

    const QByteArray expected = rangeBytes(100e6, 200e6, 2) + littleEndianDouble(1.0) + littleEndianDouble(0.0) + littleEndianDouble(0.5)
                                + littleEndianDouble(0.0);
    QCOMPARE(expected.size(), 52);
    QCOMPARE(serialized(data), expected);
}

// The file size is fixed by the ranges, whatever the value lists hold.
void TestCalibData::recordSizeFollowsRange_data()
{
    QTest::addColumn<quint32>("points");
    QTest::addColumn<int>("storedValues");

    QTest::newRow("as many values as points") << 101u << 101;
    QTest::newRow("fresh entry, no points") << 0u << int(TScanRange::kMaxPoints);
    QTest::newRow("fewer values than points") << 5u << 2;
    QTest::newRow("largest range") << TScanRange::kMaxPoints << int(TScanRange::kMaxPoints);
}

void TestCalibData::recordSizeFollowsRange()
{
    QFETCH(quint32, points);
    QFETCH(int, storedValues);

    CalibData data;
    data.range = TScanRange(mhz(800), mhz(900), points);
    data.values.fill(TCalibValue(0.25f, 0.0f), storedValues);

    const QByteArray bytes = serialized(data);
    QCOMPARE(bytes.size(), kRecordHeaderBytes + kValueBytes * int(points));

    QDataStream in(bytes);
    setUpStream(in);
    CalibData back;
    QVERIFY(back.deserialize(in, data.range));
    QCOMPARE(back.values.size(), int(points));
    for (int i = 0; i < back.values.size(); ++i)
        QCOMPARE(back.values.at(i).real(), i < storedValues ? 0.25f : 0.0f);
}

void TestCalibData::roundTrip_data()
{
    QTest::addColumn<TScanRange>("range");
    QTest::addColumn<float>("first");
    QTest::addColumn<float>("step");

    QTest::newRow("101 points") << TScanRange(mhz(870), mhz(925), 101) << 1.0e-3f << 2.5e-5f;
    QTest::newRow("2 points") << TScanRange(mhz(1), mhz(6200), 2) << 0.5f << 0.5f;
    QTest::newRow("1024 points") << TScanRange(mhz(600), mhz(3000), 1024) << 3.0e-6f << 1.0e-7f;
    QTest::newRow("0 points") << TScanRange(mhz(800), mhz(800), 0) << 0.0f << 0.0f;
}

void TestCalibData::roundTrip()
{
    QFETCH(TScanRange, range);
    QFETCH(float, first);
    QFETCH(float, step);

    const CalibData data = filled(range, first, step);
    const QByteArray bytes = serialized(data);
    QDataStream in(bytes);
    setUpStream(in);
    CalibData back;
    QVERIFY(back.deserialize(in, range));
    QVERIFY(back.hasData());
    QCOMPARE(back.range, range);
    // Doubles in the file hold every float exactly.
    QCOMPARE(back.values, data.values);
    QVERIFY(in.atEnd());
}

void TestCalibData::rejectsRecord_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<TScanRange>("check");
    QTest::addColumn<QString>("logged");

    const TScanRange check(mhz(100), mhz(200), 2);
    const QByteArray values = littleEndianDouble(1.0) + littleEndianDouble(0.0) + littleEndianDouble(0.5) + littleEndianDouble(0.0);
    const QString different = QStringLiteral("CalibData >> range is different to the check one.");
    const QString early = QStringLiteral("CalibData >> calibration data ends before the record is complete.");

    QTest::newRow("other point count") << rangeBytes(100e6, 200e6, 3) + values + values << check << different;
    QTest::newRow("other start") << rangeBytes(100e6 + 1.0, 200e6, 2) + values << check << different;
    QTest::newRow("other stop") << rangeBytes(100e6, 210e6, 2) + values << check << different;
    QTest::newRow("empty") << QByteArray() << check << early;
    QTest::newRow("cut inside the range") << rangeBytes(100e6, 200e6, 2).left(17) << check << early;
    QTest::newRow("cut inside the values") << rangeBytes(100e6, 200e6, 2) + values.left(31) << check << early;
    QTest::newRow("values missing") << rangeBytes(100e6, 200e6, 2) << check << early;
    QTest::newRow("negative points") << rangeBytes(100e6, 200e6, -2) + values << check
                                     << QStringLiteral("CalibData >> calibration record is corrupt.");
    QTest::newRow("huge point count") << rangeBytes(100e6, 200e6, std::numeric_limits<qint32>::max()) << check
                                      << QStringLiteral("CalibData >> range of 2147483647 points is above the limit of 1024.");
    QTest::newRow("not a number")
        << rangeBytes(100e6, 200e6, 2) + littleEndianDouble(1.0) + littleEndianDouble(0.0)
               + littleEndianDouble(std::numeric_limits<double>::quiet_NaN()) + littleEndianDouble(0.0)
        << check << QStringLiteral("CalibData >> value 1 is not a finite number.");
    QTest::newRow("beyond float range") << rangeBytes(100e6, 200e6, 2) + littleEndianDouble(1e300) + littleEndianDouble(0.0) + values
                                        << check << QStringLiteral("CalibData >> value 0 is not a finite number.");
}

void TestCalibData::rejectsRecord()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TScanRange, check);
    QFETCH(QString, logged);

    TestSupport::LogCapture log;
    QDataStream in(bytes);
    setUpStream(in);
    CalibData data;
    QVERIFY(!data.deserialize(in, check));
    QVERIFY(!data.hasData());
    QVERIFY2(log.lines(QtCriticalMsg).contains(logged), qPrintable(log.lines().join(QLatin1Char('\n'))));
    QVERIFY(!log.contains(QStringLiteral(">> finished deserialization")));
}

void TestCalibData::presetWritesEntriesInIndexOrder()
{
    CalibPreset preset;
    for (int i = 0; i < CalibPreset::kEntries; ++i)
        preset.entries[size_t(i)] = filled(TScanRange(mhz(100 * (i + 1)), mhz(100 * (i + 1) + 50), 1), float(i), 0.0f);

    const QByteArray bytes = serialized(preset);

    QByteArray expected;
    for (int i = 0; i < CalibPreset::kEntries; ++i)
        expected += rangeBytes(100e6 * (i + 1), 100e6 * (i + 1) + 50e6, 1) + littleEndianDouble(i) + littleEndianDouble(0.0);
    QCOMPARE(bytes, expected);
}

// A preset is taken only as a whole: the first entry whose range differs
// from the preset's channel stops the reading.
void TestCalibData::presetDeserialize_data()
{
    QTest::addColumn<quint32>("s12HighPoints");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("all ranges match") << 7u << true;
    QTest::newRow("S12 high differs") << 6u << false;
}

void TestCalibData::presetDeserialize()
{
    QFETCH(quint32, s12HighPoints);
    QFETCH(bool, accepted);

    const TScanRange s21(mhz(870), mhz(925), 11);
    const TScanRange s12(mhz(915), mhz(970), 7);
    CalibPreset preset;
    preset.entry(0, 0) = filled(s21, 0.1f, 0.01f);
    preset.entry(1, 0) = filled(s12, 0.2f, 0.01f);
    preset.entry(0, 1) = filled(s21, 0.3f, 0.01f);
    preset.entry(1, 1) = filled(TScanRange(s12.start, s12.stop, s12HighPoints), 0.4f, 0.01f);
    const QByteArray bytes = serialized(preset);

    TestSupport::LogCapture log;
    QDataStream in(bytes);
    setUpStream(in);
    CalibPreset back;
    QCOMPARE(back.deserialize(in, twoChannelPreset(s21, s12)), accepted);
    QCOMPARE(log.contains(QStringLiteral("CalibPreset >> finished deserialization")), accepted);
    for (int i = 0; i < CalibPreset::kEntries - 1; ++i) {
        QVERIFY(back.entries[size_t(i)].hasData());
        QCOMPARE(back.entries[size_t(i)].values, preset.entries[size_t(i)].values);
    }
    QCOMPARE(back.entry(1, 1).hasData(), accepted);
}

QTEST_GUILESS_MAIN(TestCalibData)
#include "tst_calibdata.moc"
