// Writes the seed corpus of every fuzz target, one directory each under the
// given root, building the inputs with the application's own code where it
// has a writer for them: frames, profiles, calibration records.
#include "chunkstream.h"
#include "fuzzsupport.h"

#include "core/settingsmanager.h"
#include "data/calibration/calibdata.h"
#include "data/device/devicecommands.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/eprotocolsetup.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/touchstone.h"
#include "data/traces/tracefile.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSettings>

namespace {

using ZData::EDeviceCommands;

class Corpus
{
public:
    Corpus(const QDir &root, const QString &target) : m_dir(root.filePath(target)) { m_ok = m_dir.mkpath(QStringLiteral(".")); }
    void add(const QString &name, const QByteArray &input) { m_ok &= FuzzSupport::writeFile(m_dir.filePath(name), input); }
    bool ok() const { return m_ok; }

private:
    QDir m_dir;
    bool m_ok = false;
};

template <typename Writer>
QByteArray streamed(QDataStream::FloatingPointPrecision precision, Writer write)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(ZData::EProtocolSetup::DATA_BYTE_ORDER);
    out.setFloatingPointPrecision(precision);
    write(out);
    return bytes;
}

QByteArray replyFrame(EDeviceCommands command, const QByteArray &payload, quint16 options = 0)
{
    ZData::TCommandHeader header;
    header.command = quint16(command);
    header.dataLength = quint16(payload.size());
    header.deviceTypeState = 0x0016;
    header.options = options;
    return ZData::DeviceMessageManager::instance().buildFrame(header, payload, false);
}

bool frameReceiverSeeds(const QDir &root)
{
    Corpus corpus(root, QStringLiteral("framereceiver"));
    QByteArray scan;
    for (int i = 0; i < 200; ++i)
        scan.append(char(i));
    const QByteArray empty = replyFrame(EDeviceCommands::DA_GET_SCAN_DATA_S21, QByteArray());
    const QByteArray full = replyFrame(EDeviceCommands::DA_GET_SCAN_DATA_S21, scan);
    QByteArray broken = full;
    broken[20] = char(broken.at(20) ^ 0x40);
    const QByteArray report = replyFrame(EDeviceCommands::O_RESEND_PACKET_FROM_DEVICE, QByteArray());
    const QByteArray other = replyFrame(EDeviceCommands::D_GET_DEVICE_ID, QByteArray(12, '\1'));

    corpus.add(QStringLiteral("empty-whole"), FuzzChunks::encode(empty, 200));
    corpus.add(QStringLiteral("empty-bytes"), FuzzChunks::encode(empty, 1));
    corpus.add(QStringLiteral("scan-chunks"), FuzzChunks::encode(full, 31));
    corpus.add(QStringLiteral("garbage-first"), FuzzChunks::encode(QByteArray::fromHex("0102") + empty, 5));
    corpus.add(QStringLiteral("broken-then-good"), FuzzChunks::encode(broken, 100) + FuzzChunks::encode(full, 100));
    corpus.add(QStringLiteral("report-and-mismatch"), FuzzChunks::encode(report, 17) + FuzzChunks::encode(other, 29));
    corpus.add(QStringLiteral("stall-timeout"), FuzzChunks::encode(full.left(40), 20) + FuzzChunks::timeout()
                                                    + FuzzChunks::timeout() + FuzzChunks::encode(empty, 17));
    return corpus.ok();
}

// Situation bytes (preset, slices ahead, calibration length, ADC) and a
// reply announcing count values.
QByteArray scanInput(const QByteArray &situation, float announced, int count)
{
    return situation + streamed(QDataStream::SinglePrecision, [=](QDataStream &out) {
               out << announced;
               for (int i = 0; i < count; ++i)
                   out << float(i + 1);
           });
}

bool scanReplySeeds(const QDir &root)
{
    Corpus corpus(root, QStringLiteral("scanreply"));
    corpus.add(QStringLiteral("first-slice"), scanInput(QByteArray::fromHex("00010000"), 25.0f, 25));
    corpus.add(QStringLiteral("last-slice-calibrated"), scanInput(QByteArray::fromHex("0204ff00"), 25.0f, 25));
    corpus.add(QStringLiteral("short-calibration"), scanInput(QByteArray::fromHex("01020200"), 25.0f, 25));
    corpus.add(QStringLiteral("too-many"), scanInput(QByteArray::fromHex("03030000"), 4000.0f, 30));
    corpus.add(QStringLiteral("cut-short"), scanInput(QByteArray::fromHex("04010000"), 25.0f, 3));
    corpus.add(QStringLiteral("restarted"), scanInput(QByteArray::fromHex("00000000"), 25.0f, 25));
    corpus.add(QStringLiteral("adc"), QByteArray::fromHex("00000001") + QByteArray::fromHex("3412"));
    return corpus.ok();
}

bool deviceReplySeeds(const QDir &root)
{
    Corpus corpus(root, QStringLiteral("devicereplies"));
    const QByteArray identity = streamed(QDataStream::SinglePrecision, [](QDataStream &out) {
        out << quint32(305419896) << quint32(1) << quint32(4000000000u);
    });
    corpus.add(QStringLiteral("identity"), QByteArray(1, '\0') + identity);
    corpus.add(QStringLiteral("identity-short"), QByteArray(1, '\0') + identity.left(7));
    corpus.add(QStringLiteral("options"), QByteArray(1, '\1') + QByteArrayLiteral("SR=1000000,6200000000;BW=10,100,1000;PR=12"));
    corpus.add(QStringLiteral("options-odd"),
               QByteArray(1, '\1') + QByteArrayLiteral("SR=5;BW=x,;PR=-1;XX=1,2;;=;SRBW=1,2") + QByteArray(2, '\0'));
    return corpus.ok();
}

bool serverReplySeeds(const QDir &root)
{
    Corpus corpus(root, QStringLiteral("serverreply"));
    const QByteArray image = QByteArray::fromHex("0010002001020304deadbeef");
    corpus.add(QStringLiteral("version"), QByteArray(1, '\0') + QByteArrayLiteral("#OK: 1.15.823"));
    corpus.add(QStringLiteral("version-lower"), QByteArray(1, '\0') + QByteArrayLiteral("\xef\xbb\xbf#ok: 2.0.1"));
    corpus.add(QStringLiteral("error"), QByteArray(1, '\1') + QByteArrayLiteral("#Error: 6"));
    corpus.add(QStringLiteral("error-unknown"), QByteArray(1, '\1') + QByteArrayLiteral("#Error: 42\n"));
    corpus.add(QStringLiteral("image"), QByteArray(1, '\1') + QByteArrayLiteral("#OK: b'") + image.toBase64());
    corpus.add(QStringLiteral("image-wrapped"),
               QByteArray(1, '\1') + QByteArrayLiteral("#OK: b'") + image.toBase64().insert(8, "\r\n"));
    return corpus.ok();
}

bool presetIniSeeds(const QDir &root, const QList<ZData::TScanPreset> &builtin)
{
    Corpus corpus(root, QStringLiteral("presetini"));
    QFile profile(ZCore::SettingsManager::userProfilePath());
    if (!profile.open(QIODevice::ReadOnly))
        return false;
    const QByteArray user = profile.readAll();
    corpus.add(QStringLiteral("builtin"), user);
    // The target reads one text as both profiles.
    QFile current(ZCore::SettingsManager::currentProfilePath());
    if (!current.open(QIODevice::ReadOnly))
        return false;
    corpus.add(QStringLiteral("builtin-and-current"), user + '\n' + current.readAll());

    ZData::TScanPreset odd(QStringLiteral("odd"));
    odd.channels[0] = ZData::TChannelPreset(
        ZData::TScanRange(ZCore::TFrequency(6.1e9), ZCore::TFrequency(2.0e6), 1), {ZCore::TFrequency(3.0e6)});
    odd.channels[1] = ZData::TChannelPreset(
        ZData::TScanRange(ZCore::TFrequency(1.0e6), ZCore::TFrequency(6.2e9), ZData::TScanRange::kMaxPoints), {});
    const QString path = QDir(ZCore::AppEnvironment::appDir()).filePath(QStringLiteral("odd.ini"));
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setIniCodec("UTF-8");
        ZData::PresetSettings::writeScanPresets(settings, {builtin.value(0), odd});
    }
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly))
        return false;
    corpus.add(QStringLiteral("odd"), written.readAll());
    // A view's saved marks, as a user who moved them leaves them.
    corpus.add(QStringLiteral("marks"), QByteArrayLiteral(
        "[ChartView_UL]\nMARK1_MODE=PEAK\nMARK2_MHZ=905.5\nBAND_FROM_MARK=2\nBAND_TO_MARK=3\nDELTA_SHOWN=true\n"
        "BANDWIDTH_SHOWN=true\nBANDWIDTH_DROP_DB=6\nREADOUTS_X=0.25\nREADOUTS_Y=1\nMARKS_TABLE_X=0\nMARKS_TABLE_Y=0.5\n"));
    return corpus.ok();
}

// The reader's layout: the device id, the preset count, then each
// preset's four references.
QByteArray calibFile(const QString &id, const QList<ZData::TScanPreset> &presets, qint32 count)
{
    return streamed(QDataStream::DoublePrecision, [&](QDataStream &out) {
        out << id << count;
        for (const ZData::TScanPreset &preset : presets) {
            ZData::CAL::CalibPreset calib;
            for (int power = 0; power < ZData::CAL::CalibPreset::kPowerLevels; ++power) {
                for (int c = 0; c < ZData::kScanChannelCount; ++c) {
                    ZData::CAL::CalibData &entry = calib.entry(c, power);
                    entry.range = preset.channel(c);
                    entry.values.fill(ZData::CAL::TCalibValue(0.5f, 0.0f), int(entry.range.points));
                }
            }
            calib.serialize(out);
        }
    });
}

bool calibFileSeeds(const QDir &root, const QList<ZData::TScanPreset> &builtin)
{
    Corpus corpus(root, QStringLiteral("calibfile"));
    const QString id = QStringLiteral("1-2-3");
    const QByteArray whole = calibFile(id, builtin, builtin.size());
    corpus.add(QStringLiteral("whole"), whole);
    corpus.add(QStringLiteral("cut"), whole.left(whole.size() / 2));
    corpus.add(QStringLiteral("trailing"), whole + QByteArray(9, '\7'));
    corpus.add(QStringLiteral("other-device"), calibFile(QStringLiteral("9-9-9"), builtin, builtin.size()));
    corpus.add(QStringLiteral("fewer-presets"), calibFile(id, builtin.mid(0, 1), 1));
    return corpus.ok();
}

// Selector byte (0 trace file, 1 Touchstone S21, 2 S12), then the text.
bool traceFileSeeds(const QDir &root)
{
    using namespace ZData::TR;
    Corpus corpus(root, QStringLiteral("tracefiles"));
    const TTrace uplink({880e6, 897.5e6, 915e6}, {-12.25, TTrace::gap(), -9.5});
    const TTrace downlink({925e6, 960e6}, {-8.1, -5.31});
    TTraceFile file;
    file.info.deviceId = QStringLiteral("1-2-3");
    file.info.preset = QStringLiteral("GSM 900");
    file.info.levels = ELevelKind::RAW;
    file.info.date = QDateTime(QDate(2026, 12, 7), QTime(1, 20), Qt::UTC);
    file.records = {{ZData::EScanChannel::S21, ETraceRole::LIVE, uplink},
                    {ZData::EScanChannel::S12, ETraceRole::LIVE, downlink},
                    {ZData::EScanChannel::S21, ETraceRole::REFERENCE, uplink}};
    corpus.add(QStringLiteral("csv"), QByteArray(1, '\0') + TraceFileFormat::toText(file));
    const QByteArray both = Touchstone::toText(file.info, uplink, TTrace({880e6, 915e6}, {-8.1, -5.31}));
    corpus.add(QStringLiteral("s2p-s21"), QByteArray(1, '\1') + both);
    corpus.add(QStringLiteral("s2p-s12"), QByteArray(1, '\2') + Touchstone::toText(file.info, TTrace(), downlink));
    corpus.add(QStringLiteral("s2p-ma-noise"),
               QByteArrayLiteral("\1! other tool\n# MHz S MA R 50\n100 0 0 0.1 0 0.5 0 0 0\n"
                                 "200 0 0 1 -90 0.01 0 0 0\n! NOISE\n100 2.5 0.5 45 10\n"));
    corpus.add(QStringLiteral("s2p-ri"), QByteArrayLiteral("\2# S RI\n1 0 0 0.6 0.8 0 0 0 0\n1.5 0 0 0.6 0.8 1 1 0 0\n"));
    return corpus.ok();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s CORPUS_ROOT\n", argv[0]);
        return 2;
    }
    FuzzSupport::setUp(&argc, &argv);
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!ZCore::SettingsManager::init() || !ZData::DataScanManager::instance().init())
        return 1;
    const QList<ZData::TScanPreset> builtin = ZData::DataScanManager::instance().presets();

    bool ok = frameReceiverSeeds(root);
    ok &= scanReplySeeds(root);
    ok &= deviceReplySeeds(root);
    ok &= serverReplySeeds(root);
    ok &= presetIniSeeds(root, builtin);
    ok &= calibFileSeeds(root, builtin);
    ok &= traceFileSeeds(root);
    return ok ? 0 : 1;
}
