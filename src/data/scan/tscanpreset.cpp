#include "data/scan/tscanpreset.h"

#include "core/esettingsgroups.h"
#include "core/log.h"
#include "data/traces/limitmask.h"

#include <QDataStream>
#include <QSettings>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace ZData {

using ZCore::TFrequency;

namespace {

// 2^64 as a double: the first value that no longer fits into quint64.
constexpr double kWholeHzLimit = 18446744073709551616.0;

const char *const kChannelGroups[TScanPreset::kChannelCount] = {"S21", "S12"};

const char *const kKeyName = "name";
const char *const kKeyNameComment = "NAME_COMMENT";
const char *const kKeyStart = "start";
const char *const kKeyStop = "stop";
const char *const kKeyPoints = "points";
// The range comments are spelled with three M in every profile ever written.
const char *const kKeyStartComment = "START_COMMMENT";
const char *const kKeyStopComment = "STOP_COMMMENT";
const char *const kKeyPointsComment = "POINTS_COMMMENT";
const char *const kKeyMarks = "marks";
const char *const kKeySizeComment = "SIZE_COMMENT";
const char *const kKeyFreqComment = "FREQ_COMMENT";
const char *const kKeyFreq = "freq";
const char *const kKeySize = "size";

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString presetsGroup()
{
    return ZCore::settingsGroupText(ZCore::ESettingsGroups::RANGE_PRESETS);
}

// A whole non-negative number of the profile. A missing key reads 0, as an
// untouched profile entry always has; text that is no such number is refused.
std::optional<quint64> readWholeNumber(QSettings &settings, const QString &name)
{
    const QString where = settings.group();
    if (!settings.contains(name)) {
        ZCore::Log::warning(PresetSettings::tag(),
                            QStringLiteral(">> key \"%1\" is missing in preset %2, read as 0").arg(name, where));
        return quint64(0);
    }
    const QString text = settings.value(name).toString().trimmed();
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    if (!ok) {
        ZCore::Log::warning(PresetSettings::tag(),
                            QStringLiteral(">> key \"%1\" in preset %2 is not a whole non-negative number: \"%3\"")
                                .arg(name, where, text));
        return std::nullopt;
    }
    return value;
}

// A preset's name. An unquoted comma in a hand-typed name makes the INI
// reader return a list, which as text would be empty and the preset
// silently skipped; the user meant one name.
QString readName(QSettings &settings, const QString &fallback = QString())
{
    const QVariant value = settings.value(key(kKeyName), fallback);
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// The size of the array under the current group, bounded into 0..limit.
int boundedArraySize(QSettings &settings, const QString &array, int limit)
{
    const QString sizeKey = array + QLatin1Char('/') + key(kKeySize);
    if (!settings.contains(sizeKey))
        return 0;
    const QString text = settings.value(sizeKey).toString().trimmed();
    bool ok = false;
    const qlonglong size = text.toLongLong(&ok);
    const QString where = settings.group().isEmpty() ? array : settings.group() + QLatin1Char('/') + array;
    if (!ok) {
        ZCore::Log::warning(PresetSettings::tag(),
                            QStringLiteral(">> size of %1 is not a number: \"%2\", nothing is read").arg(where, text));
        return 0;
    }
    if (size < 0 || size > limit) {
        const int bounded = size < 0 ? 0 : limit;
        ZCore::Log::warning(PresetSettings::tag(),
                            QStringLiteral(">> size of %1 is %2, reading %3 entries").arg(where).arg(size).arg(bounded));
        return bounded;
    }
    return int(size);
}

} // namespace

quint64 wholeHz(TFrequency frequency)
{
    const double hz = frequency.hz();
    if (!(hz > 0.0))
        return 0;
    if (hz >= kWholeHzLimit)
        return std::numeric_limits<quint64>::max();
    return static_cast<quint64>(hz);
}

bool TScanRange::operator==(const TScanRange &other) const
{
    return start == other.start && stop == other.stop && points == other.points;
}

TChannelPreset::TChannelPreset(const TScanRange &range, const QVector<TFrequency> &markFrequencies)
    : TScanRange(range)
{
    marks.reserve(markFrequencies.size());
    for (const TFrequency &frequency : markFrequencies)
        marks.append(frequency);
}

bool TChannelPreset::operator==(const TChannelPreset &other) const
{
    return TScanRange::operator==(other) && marks == other.marks && limits == other.limits;
}

int TScanPreset::clampChannel(int channel)
{
    return std::clamp(channel, 0, kChannelCount - 1);
}

QString TScanPreset::channelGroup(int channel)
{
    return QString::fromLatin1(kChannelGroups[clampChannel(channel)]);
}

bool TScanPreset::operator==(const TScanPreset &other) const
{
    return name == other.name && channels == other.channels;
}

QDataStream &operator<<(QDataStream &stream, const TScanRange &range)
{
    stream << range.start.hz() << range.stop.hz() << qint32(range.points);
    return stream;
}

QDataStream &operator>>(QDataStream &stream, TScanRange &range)
{
    double start = 0.0;
    double stop = 0.0;
    qint32 points = 0;
    stream >> start >> stop >> points;
    if (stream.status() != QDataStream::Ok)
        return stream;
    if (points < 0) {
        stream.setStatus(QDataStream::ReadCorruptData);
        return stream;
    }
    range = TScanRange(TFrequency(start), TFrequency(stop), quint32(points));
    return stream;
}

namespace PresetSettings {

QString tag()
{
    static const QString tagText = QStringLiteral("TScanPreset");
    return tagText;
}

bool readScanRange(QSettings &settings, TScanRange &range)
{
    const std::optional<quint64> points = readWholeNumber(settings, key(kKeyPoints));
    if (!points)
        return false;
    if (*points > TScanRange::kMaxPoints) {
        // Fatal: the application ends once the box is closed. Where the exit
        // is intercepted the range still comes back refused.
        ZCore::Log::fatal(tag(), QStringLiteral("Points value is too high %1 in preset %2.")
                                     .arg(*points)
                                     .arg(settings.group()));
        return false;
    }
    const std::optional<quint64> start = readWholeNumber(settings, key(kKeyStart));
    const std::optional<quint64> stop = readWholeNumber(settings, key(kKeyStop));
    if (!start || !stop)
        return false;
    range = TScanRange(TFrequency(double(*start)), TFrequency(double(*stop)), quint32(*points));
    return true;
}

void writeScanRange(QSettings &settings, const TScanRange &range)
{
    settings.setValue(key(kKeyStartComment), QStringLiteral("Начало диапазона"));
    settings.setValue(key(kKeyStart), wholeHz(range.start));
    settings.setValue(key(kKeyStopComment), QStringLiteral("Конец диапазона"));
    settings.setValue(key(kKeyStop), wholeHz(range.stop));
    settings.setValue(key(kKeyPointsComment), QStringLiteral("Количество точек в диапазоне"));
    settings.setValue(key(kKeyPoints), uint(range.points));
}

bool readChannelPreset(QSettings &settings, TChannelPreset &preset)
{
    TScanRange range = preset;
    if (!readScanRange(settings, range))
        return false;

    const int count = boundedArraySize(settings, key(kKeyMarks), TChannelPreset::kMaxMarks);
    QVector<TMark> marks;
    marks.reserve(count);
    settings.beginReadArray(key(kKeyMarks));
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        if (!settings.contains(key(kKeyFreq))) {
            ZCore::Log::warning(tag(), QStringLiteral(">> marker %1 of preset %2 has no frequency, left unset")
                                           .arg(i + 1)
                                           .arg(settings.group()));
            marks.append(std::nullopt);
            continue;
        }
        const std::optional<quint64> freq = readWholeNumber(settings, key(kKeyFreq));
        marks.append(freq ? TMark(TFrequency(double(*freq))) : std::nullopt);
    }
    settings.endArray();
    // Unset markers hold a number only for the ones after them.
    while (!marks.isEmpty() && !marks.constLast())
        marks.removeLast();

    preset = TChannelPreset(range);
    preset.marks = marks;
    const QString limits = TR::LimitMask::arrayKey();
    preset.limits = TR::LimitMask::read(settings, boundedArraySize(settings, limits, TR::TLimitSegment::kMaxSegments));
    return true;
}

void writeChannelPreset(QSettings &settings, const TChannelPreset &preset)
{
    writeScanRange(settings, preset);
    settings.beginGroup(key(kKeyMarks));
    settings.setValue(key(kKeySizeComment), QStringLiteral("Количество маркеров в предустановке. Максимально 5 штук"));
    settings.endGroup();
    settings.beginWriteArray(key(kKeyMarks), preset.marks.size());
    settings.setValue(key(kKeyFreqComment), QStringLiteral("Частоты, на которых должны стоять маркеры"));
    for (int i = 0; i < preset.marks.size(); ++i) {
        settings.setArrayIndex(i);
        // An unset marker keeps its place in the array, without a frequency.
        if (const TMark &mark = preset.marks.at(i))
            settings.setValue(key(kKeyFreq), wholeHz(*mark));
    }
    settings.endArray();
    TR::LimitMask::write(settings, preset.limits);
}

bool readScanPreset(QSettings &settings, TScanPreset &preset)
{
    preset.name = readName(settings, preset.name);
    if (preset.name.size() > kMaxNameLength) {
        ZCore::Log::warning(tag(), QStringLiteral(">> name of preset %1 is longer than %2 characters, cut")
                                       .arg(settings.group())
                                       .arg(kMaxNameLength));
        preset.name.truncate(kMaxNameLength);
    }
    for (int channel = 0; channel < TScanPreset::kChannelCount; ++channel) {
        settings.beginGroup(TScanPreset::channelGroup(channel));
        const bool ok = readChannelPreset(settings, preset.channels[size_t(channel)]);
        settings.endGroup();
        if (!ok) {
            preset.name.clear();
            return false;
        }
    }
    return true;
}

void writeScanPreset(QSettings &settings, const TScanPreset &preset)
{
    settings.setValue(key(kKeyNameComment), QStringLiteral("Название предустановки. Отображается в выпадающем списке"));
    settings.setValue(key(kKeyName), preset.name);
    for (int channel = 0; channel < TScanPreset::kChannelCount; ++channel) {
        settings.beginGroup(TScanPreset::channelGroup(channel));
        writeChannelPreset(settings, preset.channels[size_t(channel)]);
        settings.endGroup();
    }
}

QList<TScanPreset> readScanPresets(QSettings &settings)
{
    QList<TScanPreset> presets;
    const int count = boundedArraySize(settings, presetsGroup(), kMaxPresets);
    settings.beginReadArray(presetsGroup());
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        // An unnamed entry is a gap the user left on purpose: no complaints.
        if (readName(settings).isEmpty())
            continue;
        TScanPreset preset;
        if (readScanPreset(settings, preset))
            presets.append(preset);
    }
    settings.endArray();
    return presets;
}

void writeScanPresets(QSettings &settings, const QList<TScanPreset> &presets)
{
    settings.beginGroup(presetsGroup());
    settings.setValue(key(kKeySizeComment), QStringLiteral("Количество предустановок диапазонов сканирования"));
    settings.endGroup();
    // Opened with size 0 so that the explicit size below is the one that counts.
    settings.beginWriteArray(presetsGroup(), 0);
    for (int i = 0; i < presets.size(); ++i) {
        settings.setArrayIndex(i);
        writeScanPreset(settings, presets.at(i));
    }
    settings.endArray();
    settings.beginGroup(presetsGroup());
    settings.setValue(key(kKeySize), presets.size());
    settings.endGroup();
}

} // namespace PresetSettings

} // namespace ZData
