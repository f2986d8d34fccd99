#include "chart/tmarkstate.h"

#include "chart/profilevalue.h"
#include "core/tfrequency.h"

#include <QMetaEnum>
#include <QSettings>

namespace ZChart {

namespace {

using ProfileValue::number;
using ProfileValue::refuse;

const char *const kModeKey = "MARK%1_MODE";
const char *const kFrequencyKey = "MARK%1_MHZ";
const char *const kBandFromKey = "BAND_FROM_MARK";
const char *const kBandToKey = "BAND_TO_MARK";
const char *const kDeltaKey = "DELTA_SHOWN";
const char *const kBandwidthKey = "BANDWIDTH_SHOWN";
const char *const kDropKey = "BANDWIDTH_DROP_DB";
const char *const kPanelKeys[2] = {"READOUTS_X", "READOUTS_Y"};
const char *const kTableKeys[2] = {"MARKS_TABLE_X", "MARKS_TABLE_Y"};

QString key(const char *pattern, int mark)
{
    return QString::fromLatin1(pattern).arg(mark + 1);
}

std::optional<bool> flag(const QSettings &settings, const char *name, const QString &tag)
{
    const QString key = QLatin1String(name);
    if (!settings.contains(key))
        return std::nullopt;
    const QString text = settings.value(key).toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    refuse(tag, key, settings.value(key));
    return std::nullopt;
}

void setOrRemove(QSettings &settings, const QString &key, bool write, const QVariant &value)
{
    if (write)
        settings.setValue(key, value);
    else
        settings.remove(key);
}

void saveShare(QSettings &settings, const char *const keys[2], const std::optional<QPointF> &share)
{
    setOrRemove(settings, QLatin1String(keys[0]), bool(share), share ? share->x() : 0.0);
    setOrRemove(settings, QLatin1String(keys[1]), bool(share), share ? share->y() : 0.0);
}

std::optional<QPointF> restoreShare(const QSettings &settings, const char *const keys[2], const QString &tag)
{
    std::optional<double> x = number(settings, QLatin1String(keys[0]), tag);
    std::optional<double> y = number(settings, QLatin1String(keys[1]), tag);
    for (const auto &[value, name] : {std::pair{&x, keys[0]}, std::pair{&y, keys[1]}}) {
        if (*value && (**value < 0.0 || **value > 1.0)) {
            refuse(tag, QLatin1String(name), **value);
            value->reset();
        }
    }
    if (!x || !y)
        return std::nullopt;
    return QPointF(*x, *y);
}

int markNumber(const QSettings &settings, const char *name, const QString &tag)
{
    const QString key = QLatin1String(name);
    if (!settings.contains(key))
        return TMarkState::kNoMark;
    bool ok = false;
    const int number = settings.value(key).toString().trimmed().toInt(&ok);
    if (ok && number >= 1 && number <= TMarkState::kMarks)
        return number - 1;
    refuse(tag, key, settings.value(key));
    return TMarkState::kNoMark;
}

} // namespace

void TMarkState::save(QSettings &settings) const
{
    const QMetaEnum meta = QMetaEnum::fromType<EMarkMode>();
    for (int i = 0; i < kMarks; ++i) {
        const auto mode = modes[std::size_t(i)];
        setOrRemove(settings, key(kModeKey, i), mode != EMarkMode::FIXED, QString::fromLatin1(meta.valueToKey(mode)));
        const std::optional<double> &mhz = handMHz[std::size_t(i)];
        setOrRemove(settings, key(kFrequencyKey, i), bool(mhz), mhz.value_or(0.0));
    }
    setOrRemove(settings, QLatin1String(kBandFromKey), hasBand(), bandFirst + 1);
    setOrRemove(settings, QLatin1String(kBandToKey), hasBand(), bandSecond + 1);
    setOrRemove(settings, QLatin1String(kDeltaKey), deltaShown, true);
    setOrRemove(settings, QLatin1String(kBandwidthKey), bandwidthShown, true);
    setOrRemove(settings, QLatin1String(kDropKey), dropDb != ZData::TR::TraceReadouts::kDefaultDropDb, dropDb);
    saveShare(settings, kPanelKeys, panelShare);
    saveShare(settings, kTableKeys, tableShare);
}

void TMarkState::restore(const QSettings &settings, const QString &tag)
{
    *this = TMarkState();
    const QMetaEnum meta = QMetaEnum::fromType<EMarkMode>();
    for (int i = 0; i < kMarks; ++i) {
        const QString modeKey = key(kModeKey, i);
        if (settings.contains(modeKey)) {
            bool ok = false;
            const int mode = meta.keyToValue(settings.value(modeKey).toString().trimmed().toLatin1().constData(), &ok);
            if (ok)
                modes[std::size_t(i)] = EMarkMode(mode);
            else
                refuse(tag, modeKey, settings.value(modeKey));
        }
        const QString frequencyKey = key(kFrequencyKey, i);
        const std::optional<double> mhz = number(settings, frequencyKey, tag);
        if (mhz && (*mhz < ZCore::kFrequencyMin.MHz() || *mhz > ZCore::kFrequencyMax.MHz()))
            refuse(tag, frequencyKey, *mhz);
        else
            handMHz[std::size_t(i)] = mhz;
    }
    const int first = markNumber(settings, kBandFromKey, tag);
    const int second = markNumber(settings, kBandToKey, tag);
    if (first != kNoMark && second != kNoMark && first != second) {
        bandFirst = first;
        bandSecond = second;
    } else if (first != kNoMark || second != kNoMark) {
        refuse(tag, QLatin1String(kBandToKey), settings.value(QLatin1String(kBandToKey)));
    }
    deltaShown = flag(settings, kDeltaKey, tag).value_or(false);
    bandwidthShown = flag(settings, kBandwidthKey, tag).value_or(false);
    const std::optional<double> drop = number(settings, QLatin1String(kDropKey), tag);
    if (drop && isDropValid(*drop))
        dropDb = *drop;
    else if (drop)
        refuse(tag, QLatin1String(kDropKey), *drop);
    panelShare = restoreShare(settings, kPanelKeys, tag);
    tableShare = restoreShare(settings, kTableKeys, tag);
}

QPointF TMarkState::shareIn(const QRectF &room, const QPointF &at)
{
    const auto share = [](qreal value, qreal low, qreal span) {
        return span > 0 ? qBound(0.0, (value - low) / span, 1.0) : 0.0;
    };
    return QPointF(share(at.x(), room.left(), room.width()), share(at.y(), room.top(), room.height()));
}

QPointF TMarkState::pointIn(const QRectF &room, const QPointF &share)
{
    return QPointF(room.left() + share.x() * room.width(), room.top() + share.y() * room.height());
}

} // namespace ZChart
