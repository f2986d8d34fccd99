#include "data/scan/tscanpreset.h"

#include "core/logger.h"
#include "lebytes.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QDataStream>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using ZCore::TFrequency;
using ZData::TChannelPreset;
using ZData::TScanPreset;
using ZData::TScanRange;
namespace PS = ZData::PresetSettings;
using TestSupport::LeBytes::littleEndianDouble;
using TestSupport::LeBytes::littleEndianInt32;

Q_DECLARE_METATYPE(TScanRange)
Q_DECLARE_METATYPE(TScanPreset)

namespace {

TFrequency mhz(double value)
{
    return TFrequency(value, TFrequency::kMultiplierMHz);
}

TChannelPreset channel(double startMHz, double stopMHz, quint32 points, const QVector<double> &marksMHz)
{
    QVector<TFrequency> marks;
    for (double mark : marksMHz)
        marks << mhz(mark);
    return TChannelPreset(TScanRange(mhz(startMHz), mhz(stopMHz), points), marks);
}

TScanPreset preset(const QString &name, const TChannelPreset &s21, const TChannelPreset &s12)
{
    TScanPreset result(name);
    result.channels[0] = s21;
    result.channels[1] = s12;
    return result;
}

// Profile lines with every key moved under prefix (an INI key path).
QByteArray underGroup(const QByteArray &lines, const QByteArray &prefix)
{
    QByteArray result;
    for (const QByteArray &line : lines.split('\n')) {
        if (!line.isEmpty())
            result += prefix + line + '\n';
    }
    return result;
}

void setUpStream(QDataStream &stream)
{
    stream.setByteOrder(QDataStream::LittleEndian);
    stream.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

} // namespace

class TestTScanPreset : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void rangeEqualityAndClamping();

    void dataStreamBytes_data();
    void dataStreamBytes();
    void dataStreamRefusesBadInput_data();
    void dataStreamRefusesBadInput();

    void readRange_data();
    void readRange();
    void tooManyPointsIsFatal_data();
    void tooManyPointsIsFatal();

    void readMarks_data();
    void readMarks();

    void readPresetList_data();
    void readPresetList();

    void writeThenRead_data();
    void writeThenRead();

private:
    // A profile file holding text, opened the way the profiles are.
    std::unique_ptr<QSettings> profile(const QByteArray &text);

    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    QTemporaryDir m_files;
    int m_fileSerial = 0;
};

void TestTScanPreset::initTestCase()
{
    // The fatal line of the reader reaches the "Fatal error" box through the logger.
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    QVERIFY(ZCore::Logger::init());
}

void TestTScanPreset::cleanupTestCase()
{
    ZCore::Logger::uninstall();
    m_appDir.reset();
}

std::unique_ptr<QSettings> TestTScanPreset::profile(const QByteArray &text)
{
    const QString path = m_files.filePath(QStringLiteral("profile%1.ini").arg(++m_fileSerial));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return nullptr;
    file.close();
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    settings->setIniCodec("UTF-8");
    settings->setFallbacksEnabled(false);
    return settings;
}

void TestTScanPreset::rangeEqualityAndClamping()
{
    const TScanRange base(TFrequency(100000000.0), TFrequency(200000000.0), 100);
    QVERIFY(base == TScanRange(TFrequency(100000000.0000005), base.stop, 100));
    QVERIFY(base != TScanRange(TFrequency(100000000.000002), base.stop, 100));
    QVERIFY(base != TScanRange(base.start, base.stop, 101));

    // Out-of-range channel numbers never index past the pair.
    TScanPreset preset(QStringLiteral("p"));
    preset.channels[0].points = 10;
    preset.channels[1].points = 20;
    QCOMPARE(preset.channel(-3).points, 10U);
    QCOMPARE(preset.channel(7).points, 20U);
    QCOMPARE(TScanPreset::channelGroup(9), QStringLiteral("S12"));
}

void TestTScanPreset::dataStreamBytes_data()
{
    QTest::addColumn<TScanRange>("range");

    QTest::newRow("band") << TScanRange(mhz(870), mhz(925), 100);
    QTest::newRow("fractional Hz") << TScanRange(TFrequency(1000000.25), TFrequency(6200000000.5), 1024);
}

void TestTScanPreset::dataStreamBytes()
{
    QFETCH(TScanRange, range);

    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        setUpStream(out);
        out << range;
    }
    const QByteArray expected = littleEndianDouble(range.start.hz()) + littleEndianDouble(range.stop.hz())
                              + littleEndianInt32(qint32(range.points));
    QCOMPARE(bytes, expected);

    QDataStream in(bytes);
    setUpStream(in);
    TScanRange back(mhz(1), mhz(2), 3);
    in >> back;
    QCOMPARE(in.status(), QDataStream::Ok);
    QCOMPARE(back, range);
    QCOMPARE(back.start.hz(), range.start.hz());
}

void TestTScanPreset::dataStreamRefusesBadInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");

    const QByteArray good = littleEndianDouble(1e6) + littleEndianDouble(2e6) + littleEndianInt32(5);
    QTest::newRow("cut short") << good.left(good.size() - 1) << int(QDataStream::ReadPastEnd);
    QTest::newRow("negative points") << littleEndianDouble(1e6) + littleEndianDouble(2e6) + littleEndianInt32(-1)
                                     << int(QDataStream::ReadCorruptData);
}

void TestTScanPreset::dataStreamRefusesBadInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);

    QDataStream in(bytes);
    setUpStream(in);
    const TScanRange before(mhz(1), mhz(2), 3);
    TScanRange range = before;
    in >> range;
    QCOMPARE(int(in.status()), status);
    QCOMPARE(range, before);
}

void TestTScanPreset::readRange_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<TScanRange>("expected");
    QTest::addColumn<QString>("logged");

    const TScanRange untouched(mhz(1), mhz(2), 3);
    QTest::newRow("1024 points") << QByteArray("start=870000000\nstop=925000000\npoints=1024\n") << true
                                 << TScanRange(mhz(870), mhz(925), 1024) << QString();
    QTest::newRow("surrounding blanks") << QByteArray("start= 870000000 \nstop=925000000\npoints= 7\n") << true
                                        << TScanRange(mhz(870), mhz(925), 7) << QString();
    QTest::newRow("missing points read as 0") << QByteArray("start=870000000\nstop=925000000\n") << true
                                              << TScanRange(mhz(870), mhz(925), 0)
                                              << QStringLiteral("key \"points\" is missing");
    QTest::newRow("text points") << QByteArray("start=870000000\nstop=925000000\npoints=many\n") << false
                                 << untouched << QStringLiteral("key \"points\" in preset Range_Presets/1/S21 is not");
    QTest::newRow("points beyond 64 bits") << QByteArray("start=1\nstop=2\npoints=99999999999999999999999\n")
                                           << false << untouched << QStringLiteral("not a whole");
    QTest::newRow("negative stop") << QByteArray("start=1\nstop=-925000000\npoints=10\n") << false << untouched
                                   << QStringLiteral("key \"stop\"");
}

void TestTScanPreset::readRange()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, ok);
    QFETCH(TScanRange, expected);
    QFETCH(QString, logged);

    TestSupport::RecordingDialogs dialogs;
    auto settings = profile("[Range_Presets]\n" + underGroup(entry, "1\\S21\\"));
    QVERIFY(settings);
    TestSupport::LogCapture log;
    settings->beginGroup(QStringLiteral("Range_Presets/1/S21"));
    TScanRange range(mhz(1), mhz(2), 3);
    QCOMPARE(PS::readScanRange(*settings, range), ok);
    QCOMPARE(range, expected);
    QVERIFY2(logged.isEmpty() ? log.lines(QtWarningMsg).isEmpty() : log.contains(logged), qPrintable(log.lines().join('\n')));
    QVERIFY(dialogs.exitCodes().isEmpty());
}

void TestTScanPreset::tooManyPointsIsFatal_data()
{
    QTest::addColumn<QByteArray>("points");

    QTest::newRow("1025") << QByteArray("1025");
    QTest::newRow("beyond 32 bits") << QByteArray("4294967297");
}

void TestTScanPreset::tooManyPointsIsFatal()
{
    QFETCH(QByteArray, points);

    TestSupport::RecordingDialogs dialogs;
    auto settings = profile("[Range_Presets]\n1\\name=Big\n1\\S21\\start=100\n1\\S21\\stop=200\n1\\S21\\points="
                            + points + "\n1\\S12\\start=100\n1\\S12\\stop=200\n1\\S12\\points=10\nsize=1\n");
    QVERIFY(settings);
    settings->beginReadArray(QStringLiteral("Range_Presets"));
    settings->setArrayIndex(0);
    TScanPreset preset;
    QVERIFY(!PS::readScanPreset(*settings, preset));
    settings->endArray();

    // The range is refused and the preset with it: it keeps nothing it read.
    QCOMPARE(preset.name, QString());
    QCOMPARE(preset.channels[0], TChannelPreset());
    QCOMPARE(dialogs.exitCodes(), QList<int>{1});
    const TestSupport::RecordingDialogs::Box box = dialogs.boxes().first();
    QCOMPARE(box.title, QStringLiteral("Fatal error"));
    QCOMPARE(box.text, QStringLiteral("TScanPreset Points value is too high %1 in preset Range_Presets/1/S21.")
                           .arg(QString::fromLatin1(points)));

    // And a list read never lets it through.
    dialogs.clear();
    QCOMPARE(PS::readScanPresets(*settings), QList<TScanPreset>());
    QCOMPARE(dialogs.exitCodes(), QList<int>{1});
}

void TestTScanPreset::readMarks_data()
{
    QTest::addColumn<QByteArray>("marks");
    QTest::addColumn<QVector<double>>("expectedMHz");
    QTest::addColumn<QString>("logged");

    QByteArray seven = "marks\\size=7\n";
    for (int i = 1; i <= 7; ++i)
        seven += QByteArray("marks\\") + QByteArray::number(i) + "\\freq=" + QByteArray::number(i * 100000000) + "\n";
    QTest::newRow("7 entries read as 5") << seven << QVector<double>{100, 200, 300, 400, 500}
                                         << QStringLiteral("size of Range_Presets/1/S21/marks is 7, reading 5");
    QTest::newRow("no marks array") << QByteArray() << QVector<double>{} << QString();
    QTest::newRow("negative size") << QByteArray("marks\\size=-3\nmarks\\1\\freq=100000000\n") << QVector<double>{}
                                   << QStringLiteral("is -3, reading 0");
    QTest::newRow("huge size") << QByteArray("marks\\size=2147483648\nmarks\\1\\freq=100000000\n")
                               << QVector<double>{100} << QStringLiteral("reading 5");
    QTest::newRow("entry without frequency") << QByteArray("marks\\size=3\nmarks\\1\\freq=100000000\n"
                                                           "marks\\3\\freq=300000000\n")
                                             << QVector<double>{100, 300} << QStringLiteral("marker 2 of preset");
    QTest::newRow("text frequency") << QByteArray("marks\\size=2\nmarks\\1\\freq=abc\nmarks\\2\\freq=200000000\n")
                                    << QVector<double>{200} << QStringLiteral("key \"freq\"");
}

void TestTScanPreset::readMarks()
{
    QFETCH(QByteArray, marks);
    QFETCH(QVector<double>, expectedMHz);
    QFETCH(QString, logged);

    auto settings = profile("[Range_Presets]\n"
                            + underGroup("start=100000000\nstop=200000000\npoints=10\n" + marks, "1\\S21\\"));
    QVERIFY(settings);
    TestSupport::LogCapture log;
    settings->beginGroup(QStringLiteral("Range_Presets/1/S21"));
    TChannelPreset preset;
    QVERIFY(PS::readChannelPreset(*settings, preset));
    QCOMPARE(preset, channel(100, 200, 10, expectedMHz));
    QVERIFY2(logged.isEmpty() ? log.lines(QtWarningMsg).isEmpty() : log.contains(logged), qPrintable(log.lines().join('\n')));
}

void TestTScanPreset::readPresetList_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");

    const QByteArray a = "1\\name=A\n1\\S21\\start=1\n1\\S21\\stop=2\n1\\S21\\points=2\n"
                         "1\\S12\\start=1\n1\\S12\\stop=2\n1\\S12\\points=2\n";
    const QByteArray c = "3\\name=C\n3\\S21\\start=1\n3\\S21\\stop=2\n3\\S21\\points=2\n"
                         "3\\S12\\start=1\n3\\S12\\stop=2\n3\\S12\\points=2\n";
    QTest::newRow("gap in the middle") << QByteArray("[Range_Presets]\n" + a + c + "size=3\n")
                                       << QStringList{"A", "C"};
    QTest::newRow("size larger than the entries") << QByteArray("[Range_Presets]\n" + a + "size=2147483647\n")
                                                  << QStringList{"A"};
    QTest::newRow("negative size") << QByteArray("[Range_Presets]\n" + a + "size=-1\n") << QStringList{};
    QTest::newRow("no size") << QByteArray("[Range_Presets]\n" + a) << QStringList{};
    QTest::newRow("broken entry skipped") << QByteArray("[Range_Presets]\n" + a + "2\\name=B\n2\\S21\\points=x\n" + c
                                                        + "size=3\n")
                                          << QStringList{"A", "C"};
}

void TestTScanPreset::readPresetList()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);

    TestSupport::RecordingDialogs dialogs;
    auto settings = profile(text);
    QVERIFY(settings);
    TestSupport::LogCapture log;
    const QList<TScanPreset> presets = PS::readScanPresets(*settings);
    QStringList read;
    for (const TScanPreset &preset : presets)
        read << preset.name;
    QCOMPARE(read, names);
    QVERIFY(settings->group().isEmpty());
    QVERIFY(dialogs.exitCodes().isEmpty());
}

void TestTScanPreset::writeThenRead_data()
{
    QTest::addColumn<QList<TScanPreset>>("presets");
    QTest::addColumn<QList<TScanPreset>>("expected");

    const QList<TScanPreset> bands{
        preset(QStringLiteral("GSM900/UMTS900"), channel(870, 925, 100, {880, 895, 915}),
               channel(915, 970, 100, {925, 945, 960})),
        preset(QStringLiteral("Диапазон"), channel(1, 6200, 1024, {1, 2, 3, 4, 5}), channel(780, 850, 2, {})),
    };
    QTest::newRow("bands") << bands << bands;

    TScanPreset fractional = preset(QStringLiteral("F"), channel(1, 2, 10, {}), channel(1, 2, 10, {}));
    fractional.channels[0].start = TFrequency(1000000.9);
    fractional.channels[1].marks = {TFrequency(1500000.75)};
    TScanPreset truncated = fractional;
    truncated.channels[0].start = TFrequency(1000000.0);
    truncated.channels[1].marks = {TFrequency(1500000.0)};
    QTest::newRow("fractional Hz truncated") << QList<TScanPreset>{fractional} << QList<TScanPreset>{truncated};
}

void TestTScanPreset::writeThenRead()
{
    QFETCH(QList<TScanPreset>, presets);
    QFETCH(QList<TScanPreset>, expected);

    const QString path = m_files.filePath(QStringLiteral("written%1.ini").arg(++m_fileSerial));
    {
        QSettings out(path, QSettings::IniFormat);
        out.setIniCodec("UTF-8");
        PS::writeScanPresets(out, presets);
        out.sync();
        QCOMPARE(out.status(), QSettings::NoError);
    }
    QSettings in(path, QSettings::IniFormat);
    in.setIniCodec("UTF-8");
    QCOMPARE(in.value(QStringLiteral("Range_Presets/size")).toInt(), presets.size());
    QCOMPARE(PS::readScanPresets(in), expected);
}

QTEST_GUILESS_MAIN(TestTScanPreset)
#include "tst_tscanpreset.moc"
