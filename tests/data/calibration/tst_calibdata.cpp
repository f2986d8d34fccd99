#include "data/calibration/calibdata.h"

#include "lebytes.h"

#include <QtTest>

#include <limits>

using ZData::TScanRange;
using ZData::CAL::CalibData;
using ZData::CAL::CalibPreset;
using TestSupport::LeBytes::littleEndianDouble;

namespace {

TScanRange mhzRange(double start, double stop, quint32 points)
{
    return TScanRange(ZCore::TFrequency(start * 1e6), ZCore::TFrequency(stop * 1e6), points);
}

// A record as the file holds it: range, then (value, 0) pairs.
QByteArray record(double startHz, double stopHz, qint32 points, std::initializer_list<double> values = {})
{
    QByteArray bytes = littleEndianDouble(startHz) + littleEndianDouble(stopHz) + TestSupport::LeBytes::littleEndianInt32(points);
    for (double value : values)
        bytes += littleEndianDouble(value) + littleEndianDouble(0.0);
    return bytes;
}

// The calibration file's stream setup, for writing (bytes given) or reading.
QDataStream &setUp(QDataStream &&stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
    return stream;
}

template <typename Record>
QByteArray serialized(const Record &record)
{
    QByteArray bytes;
    record.serialize(setUp(QDataStream(&bytes, QIODevice::WriteOnly)));
    return bytes;
}

CalibData filled(const TScanRange &range, float value)
{
    CalibData data;
    data.range = range;
    data.values.fill({value, -value}, int(range.points));
    return data;
}

} // namespace

class TestCalibData : public QObject
{
    Q_OBJECT

private slots:
    void recordBytes();
    void rejectsRecord_data();
    void rejectsRecord();
    void presetRoundTrip_data();
    void presetRoundTrip();
};

// A list shorter than its range is padded, or the record could not be read back.
void TestCalibData::recordBytes()
{
    CalibData data;
    data.range = mhzRange(100, 200, 3);
    data.values = {{1.0f, 0.0f}, {0.5f, 0.0f}};
    QCOMPARE(serialized(data), record(100e6, 200e6, 3, {1.0, 0.5, 0.0}));
}

void TestCalibData::rejectsRecord_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("truncated") << record(100e6, 200e6, 2, {1.0, 0.5}).chopped(1);
    QTest::newRow("huge count") << record(100e6, 200e6, std::numeric_limits<qint32>::max());
    QTest::newRow("different range") << record(100e6, 210e6, 2, {1.0, 0.5});
    QTest::newRow("NaN") << record(100e6, 200e6, 2, {1.0, std::numeric_limits<double>::quiet_NaN()});
}

void TestCalibData::rejectsRecord()
{
    QFETCH(QByteArray, bytes);
    CalibData data;
    QVERIFY(!data.deserialize(setUp(QDataStream(bytes)), mhzRange(100, 200, 2)));
    QVERIFY(!data.hasData());
}

// Entries go S21 low, S12 low, S21 high, S12 high; one mismatching entry fails the preset.
void TestCalibData::presetRoundTrip_data()
{
    QTest::addColumn<quint32>("s12HighPoints");
    QTest::newRow("all ranges match") << 7u;
    QTest::newRow("S12 high differs") << 6u;
}

void TestCalibData::presetRoundTrip()
{
    QFETCH(quint32, s12HighPoints);
    const TScanRange s21 = mhzRange(870, 925, 11), s12 = mhzRange(915, 970, 7);
    CalibPreset preset;
    for (int i = 0; i < CalibPreset::kEntries; ++i)
        preset.entries[size_t(i)] = filled(i % 2 ? s12 : s21, 0.1f * float(i + 1));
    preset.entry(1, 1).range.points = s12HighPoints;
    const QByteArray bytes = serialized(preset);
    QCOMPARE(bytes.mid(20 + 16 * 11, 20), record(915e6, 970e6, 7));

    ZData::TScanPreset check(QStringLiteral("P"));
    check.channels = {ZData::TChannelPreset(s21), ZData::TChannelPreset(s12)};
    CalibPreset back;
    const bool accepted = s12HighPoints == s12.points;
    QCOMPARE(back.deserialize(setUp(QDataStream(bytes)), check), accepted);
    for (int i = 0; i < CalibPreset::kEntries - 1; ++i)
        QCOMPARE(back.entries[size_t(i)].values, preset.entries[size_t(i)].values);
    QCOMPARE(back.entry(1, 1).hasData(), accepted);
}

QTEST_GUILESS_MAIN(TestCalibData)
#include "tst_calibdata.moc"
