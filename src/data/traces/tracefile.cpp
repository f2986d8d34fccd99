#include "data/traces/tracefile.h"

#include "core/enumtext.h"
#include "data/device/deviceinfo.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/tscanpreset.h"
#include "data/traces/filetext.h"

#include <QMetaEnum>
#include <QStringList>

#include <cmath>

namespace ZData::TR {

namespace {

const QLatin1String kTitle("Oskiro MERO trace");
const QLatin1String kKeyDevice("device");
const QLatin1String kKeyFirmware("firmware");
const QLatin1String kKeyPreset("preset");
const QLatin1String kKeyPower("power");
const QLatin1String kKeyLevels("levels");
const QLatin1String kKeyAttenuators("attenuators");
const QLatin1String kKeyDate("date");
const QLatin1Char kComment('#');
const QLatin1Char kSeparator(',');
const QLatin1Char kKeyEnd(':');
constexpr int kColumns = 4;

// The file's spelling of a meta-enum value: its key in lower case.
template <typename E>
QString word(E value)
{
    return ZCore::enumKey(value).toLower();
}

template <typename E>
std::optional<E> fromWord(const QString &text)
{
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    bool ok = false;
    const int value = meta.keyToValue(text.trimmed().toUpper().toLatin1().constData(), &ok);
    if (!ok)
        return std::nullopt;
    return E(value);
}

std::optional<EScanChannel> channelFromText(const QString &text)
{
    for (int channel = 0; channel < kScanChannelCount; ++channel) {
        if (text.trimmed().compare(TScanPreset::channelGroup(channel), Qt::CaseInsensitive) == 0)
            return EScanChannel(channel);
    }
    return std::nullopt;
}

class Parser
{
public:
    Parser(const QString &name, QString *error) : m_name(name), m_error(error) {}

    std::optional<TTraceFile> parse(const QByteArray &bytes);

private:
    bool headLine(const QString &line);
    bool row(const QString &line);
    bool refuse(const QString &reason);

    QString m_name;
    QString *m_error;
    int m_line = 0;
    int m_rows = 0;
    bool m_columnsSeen = false;
    TTraceFile m_file;
    QVector<QVector<double>> m_frequencies;
    QVector<QVector<double>> m_levels;
};

std::optional<TTraceFile> Parser::parse(const QByteArray &bytes)
{
    for (const QString &line : FileText::lines(bytes)) {
        ++m_line;
        const QString text = line.trimmed();
        if (text.isEmpty())
            continue;
        const bool ok = text.startsWith(kComment) ? m_columnsSeen || headLine(text) : row(text);
        if (!ok)
            return std::nullopt;
    }
    if (!m_columnsSeen || m_rows == 0) {
        m_line = 0;
        refuse(m_columnsSeen ? QStringLiteral("holds no point") : QStringLiteral("has no column line"));
        return std::nullopt;
    }
    for (int i = 0; i < m_file.records.size(); ++i)
        m_file.records[i].trace = TTrace(m_frequencies.at(i), m_levels.at(i));
    return m_file;
}

bool Parser::headLine(const QString &line)
{
    const int end = line.indexOf(kKeyEnd);
    if (end < 0)
        return true;
    const QString key = line.mid(1, end - 1).trimmed().toLower();
    const QString value = line.mid(end + 1).trimmed();
    TTraceInfo &info = m_file.info;
    if (key == kKeyDevice)
        info.deviceId = value;
    else if (key == kKeyFirmware)
        info.firmware = value;
    else if (key == kKeyPreset)
        info.preset = value;
    else if (key == kKeyPower)
        info.power = value;
    else if (key == kKeyAttenuators)
        info.attenuators = value;
    else if (key == kKeyLevels) {
        const std::optional<ELevelKind> levels = fromWord<ELevelKind>(value);
        if (!levels)
            return refuse(QStringLiteral("levels \"%1\" are neither raw nor calibrated").arg(value));
        info.levels = *levels;
    } else if (key == kKeyDate) {
        info.date = QDateTime::fromString(value, Qt::ISODate);
        if (!info.date.isValid())
            return refuse(QStringLiteral("date \"%1\" is not an ISO 8601 date and time").arg(value));
    }
    return true;
}

bool Parser::row(const QString &line)
{
    if (!m_columnsSeen) {
        if (line.compare(TraceFileFormat::columnLine(), Qt::CaseInsensitive) != 0)
            return refuse(QStringLiteral("expected the column line \"%1\"").arg(TraceFileFormat::columnLine()));
        m_columnsSeen = true;
        return true;
    }
    if (++m_rows > TraceFileFormat::kMaxRows)
        return refuse(QStringLiteral("more than %1 rows").arg(TraceFileFormat::kMaxRows));
    const QStringList fields = line.split(kSeparator);
    if (fields.size() != kColumns)
        return refuse(QStringLiteral("%1 fields instead of %2").arg(fields.size()).arg(kColumns));
    const std::optional<EScanChannel> channel = channelFromText(fields.at(0));
    if (!channel)
        return refuse(QStringLiteral("unknown channel \"%1\"").arg(fields.at(0)));
    const std::optional<ETraceRole> role = fromWord<ETraceRole>(fields.at(1));
    if (!role)
        return refuse(QStringLiteral("unknown trace \"%1\"").arg(fields.at(1)));
    bool frequencyOk = false;
    bool levelOk = false;
    const double frequency = fields.at(2).trimmed().toDouble(&frequencyOk);
    const double level = fields.at(3).trimmed().toDouble(&levelOk);
    if (!frequencyOk || !levelOk || !std::isfinite(frequency) || !std::isfinite(level))
        return refuse(QStringLiteral("frequency and level must be finite numbers"));
    if (frequency < 0.0)
        return refuse(QStringLiteral("negative frequency"));

    int record = 0;
    while (record < m_file.records.size()
           && (m_file.records.at(record).channel != *channel || m_file.records.at(record).role != *role))
        ++record;
    if (record == m_file.records.size()) {
        m_file.records.append({*channel, *role, TTrace()});
        m_frequencies.append(QVector<double>());
        m_levels.append(QVector<double>());
    }
    QVector<double> &frequencies = m_frequencies[record];
    if (!frequencies.isEmpty() && frequency < frequencies.last())
        return refuse(QStringLiteral("frequency %1 Hz is below the one before").arg(numberText(frequency)));
    frequencies.append(frequency);
    m_levels[record].append(level);
    return true;
}

bool Parser::refuse(const QString &reason)
{
    FileText::refuse(TraceFileFormat::tag(), m_name, m_line, reason, m_error);
    return false;
}

} // namespace

TTraceInfo TTraceInfo::ofSweep(const DeviceInfo &device, const DataScanManager &scan, const QDateTime &date)
{
    TTraceInfo info;
    info.deviceId = device.id;
    if (!device.firmwareVersion.isUndefined())
        info.firmware = device.firmwareVersion.toString();
    if (scan.presetCount() > 0)
        info.preset = scan.presetAt(scan.activePreset()).name;
    info.power = scan.powerIndex() == DataScanManager::kPowerHigh ? QStringLiteral("high") : QStringLiteral("low");
    info.levels = scan.useCalib() ? ELevelKind::CALIBRATED : ELevelKind::RAW;
    info.attenuators = QStringLiteral("S21 %1 dB, S12 %2 dB")
                           .arg(numberText(scan.rfParameters().s21Att), numberText(scan.rfParameters().s12Att));
    info.date = date.toUTC();
    return info;
}

bool TTraceInfo::operator==(const TTraceInfo &other) const
{
    return deviceId == other.deviceId && firmware == other.firmware && preset == other.preset
           && power == other.power && attenuators == other.attenuators && levels == other.levels
           && date == other.date;
}

const TTraceRecord *TTraceFile::find(int channel, ETraceRole role) const
{
    for (const TTraceRecord &record : records) {
        if (record.channel == channel && record.role == role)
            return &record;
    }
    return nullptr;
}

std::optional<TTrace> TTraceFile::traceFor(int channel) const
{
    for (ETraceRole role : {ETraceRole::LIVE, ETraceRole::REFERENCE}) {
        if (const TTraceRecord *record = find(channel, role))
            return record->trace;
    }
    return std::nullopt;
}

namespace TraceFileFormat {

QString tag()
{
    static const QString tagText = QStringLiteral("TraceFile");
    return tagText;
}

QString columnLine()
{
    return QStringLiteral("channel,trace,frequency_hz,level_db");
}

QByteArray toText(const TTraceFile &file)
{
    const TTraceInfo &info = file.info;
    QString text = QStringLiteral("# %1\n").arg(kTitle);
    const auto head = [&text](const QLatin1String &key, const QString &value) {
        text += QStringLiteral("# %1: %2\n").arg(key, FileText::singleLine(value));
    };
    head(kKeyDevice, info.deviceId);
    head(kKeyFirmware, info.firmware);
    head(kKeyPreset, info.preset);
    head(kKeyPower, info.power);
    if (info.levels != ELevelKind::UNKNOWN)
        head(kKeyLevels, word(info.levels));
    head(kKeyAttenuators, info.attenuators);
    if (info.date.isValid())
        head(kKeyDate, info.date.toUTC().toString(Qt::ISODate));
    text += columnLine() + QLatin1Char('\n');
    for (const TTraceRecord &record : file.records) {
        const QString lead = TScanPreset::channelGroup(record.channel) + kSeparator + word(record.role) + kSeparator;
        const TTrace &trace = record.trace;
        for (int i = 0; i < trace.size(); ++i) {
            if (trace.isMeasured(i))
                text += lead + numberText(trace.frequencyHz(i)) + kSeparator
                        + FileText::levelText(trace.levelDb(i)) + QLatin1Char('\n');
        }
    }
    return text.toUtf8();
}

bool write(const QString &path, const TTraceFile &file, QString *error)
{
    return FileText::writeAtomically(path, toText(file), tag(), error);
}

std::optional<TTraceFile> parse(const QByteArray &bytes, const QString &name, QString *error)
{
    return Parser(name, error).parse(bytes);
}

std::optional<TTraceFile> read(const QString &path, QString *error)
{
    const std::optional<QByteArray> bytes = FileText::readBounded(path, kMaxFileBytes, tag(), error);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes, path, error);
}

} // namespace TraceFileFormat

} // namespace ZData::TR
