#include "data/traces/touchstone.h"

#include "data/scan/tscanpreset.h"
#include "data/traces/filetext.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>

namespace ZData::TR::Touchstone {

namespace {

const QLatin1String kOptionLine("# HZ S DB R 50");
const QLatin1Char kOptionStart('#');
const QLatin1Char kCommentStart('!');
const QLatin1Char kKeywordStart('[');
const QLatin1String kDefaultSuffix("s2p");
const QLatin1String kRawLevelsLine("! Levels are raw readings in dBm, written where dB belong.");
const QLatin1String kCalibratedLevelsLine("! Levels are calibrated gain in dB.");
constexpr int kValuesPerPoint = 9;
// Columns of the level part of S21 and S12: frequency, S11 pair, S21 pair, S12 pair.
constexpr std::array<int, kScanChannelCount> kLevelColumn = {3, 5};
constexpr double kDecibelsPerDecade = 20.0;
constexpr double kHzPerUnit[] = {1.0, 1e3, 1e6, 1e9};
const char *const kUnits[] = {"HZ", "KHZ", "MHZ", "GHZ"};

enum class EFormat : quint8 { DB, MA, RI };

struct TRow
{
    double frequencyHz = 0.0;
    double s21Db = kNotMeasuredDb;
    double s12Db = kNotMeasuredDb;
};

// Steps past every point at frequency, so a repeat is written once.
void skipFrequency(const TTrace &trace, int &index, double frequency)
{
    while (index < trace.size() && trace.frequencyHz(index) == frequency)
        ++index;
}

// The union of both channels' measured frequencies, each once, in order.
QVector<TRow> rows(const TTrace &s21, const TTrace &s12)
{
    const TTrace a = s21.measuredOnly();
    const TTrace b = s12.measuredOnly();
    QVector<TRow> result;
    int i = 0;
    int j = 0;
    while (i < a.size() || j < b.size()) {
        const double frequency = j >= b.size() || (i < a.size() && a.frequencyHz(i) <= b.frequencyHz(j))
                                     ? a.frequencyHz(i)
                                     : b.frequencyHz(j);
        TRow row{frequency};
        if (i < a.size() && a.frequencyHz(i) == frequency)
            row.s21Db = a.levelDb(i);
        if (j < b.size() && b.frequencyHz(j) == frequency)
            row.s12Db = b.levelDb(j);
        skipFrequency(a, i, frequency);
        skipFrequency(b, j, frequency);
        if (result.isEmpty() || frequency > result.last().frequencyHz)
            result.append(row);
    }
    return result;
}

QString channelPath(const QString &path, int channel)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString(kDefaultSuffix) : info.suffix();
    return info.dir().filePath(QStringLiteral("%1_%2.%3").arg(info.completeBaseName(),
                                                              TScanPreset::channelGroup(channel), suffix));
}

class Parser
{
public:
    Parser(const QString &name, EScanChannel parameter, QString *error)
        : m_name(name), m_column(kLevelColumn[size_t(clampChannel(parameter))]), m_error(error)
    {
    }

    std::optional<TTrace> parse(const QByteArray &bytes);

private:
    bool option(const QString &line);
    bool data(const QString &line);
    bool refuse(const QString &reason);
    double levelDb(double first, double second) const;

    QString m_name;
    int m_column;
    QString *m_error;
    int m_line = 0;
    bool m_optionSeen = false;
    bool m_noise = false;
    double m_hzPerUnit = kHzPerUnit[3];
    EFormat m_format = EFormat::MA;
    QVector<double> m_frequencies;
    QVector<double> m_levels;
};

std::optional<TTrace> Parser::parse(const QByteArray &bytes)
{
    for (const QString &raw : FileText::lines(bytes)) {
        ++m_line;
        const QString line = raw.left(raw.indexOf(kCommentStart)).simplified();
        if (line.isEmpty() || m_noise)
            continue;
        bool ok = true;
        if (line.startsWith(kOptionStart))
            ok = m_optionSeen || option(line);
        else if (line.startsWith(kKeywordStart))
            ok = refuse(QStringLiteral("Touchstone version 2 keywords are not read"));
        else
            ok = data(line);
        if (!ok)
            return std::nullopt;
    }
    if (m_frequencies.isEmpty()) {
        m_line = 0;
        refuse(QStringLiteral("holds no data"));
        return std::nullopt;
    }
    return TTrace(m_frequencies, m_levels);
}

bool Parser::option(const QString &line)
{
    m_optionSeen = true;
    const QStringList words = line.mid(1).toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < words.size(); ++i) {
        const QString &word = words.at(i);
        const auto unit = std::find_if(std::begin(kUnits), std::end(kUnits),
                                       [&word](const char *name) { return word == QLatin1String(name); });
        if (unit != std::end(kUnits))
            m_hzPerUnit = kHzPerUnit[unit - std::begin(kUnits)];
        else if (word == QLatin1String("DB"))
            m_format = EFormat::DB;
        else if (word == QLatin1String("MA"))
            m_format = EFormat::MA;
        else if (word == QLatin1String("RI"))
            m_format = EFormat::RI;
        else if (word == QLatin1String("R"))
            ++i; // the reference resistance: levels do not depend on it
        else if (word != QLatin1String("S"))
            return refuse(QStringLiteral("option \"%1\" is not one of S parameters in Hz, kHz, MHz or GHz as DB, MA or RI")
                              .arg(word));
    }
    return true;
}

bool Parser::data(const QString &line)
{
    m_optionSeen = true;
    const QStringList fields = line.split(QLatin1Char(' '));
    std::array<double, kValuesPerPoint> values{};
    for (int i = 0; i < fields.size() && i < kValuesPerPoint; ++i) {
        bool ok = false;
        values[size_t(i)] = fields.at(i).toDouble(&ok);
        if (!ok || !std::isfinite(values[size_t(i)]))
            return refuse(QStringLiteral("\"%1\" is not a finite number").arg(fields.at(i)));
    }
    const double frequency = values[0] * m_hzPerUnit;
    if (!m_frequencies.isEmpty() && frequency <= m_frequencies.last()) {
        m_noise = true;
        return true;
    }
    if (fields.size() != kValuesPerPoint)
        return refuse(QStringLiteral("%1 values instead of the %2 of a two-port point").arg(fields.size()).arg(kValuesPerPoint));
    if (!(frequency >= 0.0) || !std::isfinite(frequency))
        return refuse(QStringLiteral("frequency is not a frequency"));
    if (m_frequencies.size() >= kMaxPoints)
        return refuse(QStringLiteral("more than %1 points").arg(kMaxPoints));
    m_frequencies.append(frequency);
    m_levels.append(levelDb(values[size_t(m_column)], values[size_t(m_column + 1)]));
    return true;
}

double Parser::levelDb(double first, double second) const
{
    const double magnitude = m_format == EFormat::RI ? std::hypot(first, second) : std::fabs(first);
    if (m_format == EFormat::DB)
        return first;
    return magnitude > 0.0 ? kDecibelsPerDecade * std::log10(magnitude) : kNotMeasuredDb;
}

bool Parser::refuse(const QString &reason)
{
    FileText::refuse(tag(), m_name, m_line, reason, m_error);
    return false;
}

} // namespace

QString tag()
{
    static const QString tagText = QStringLiteral("Touchstone");
    return tagText;
}

bool channelsCoincide(const TTrace &s21, const TTrace &s12)
{
    const TTrace a = s21.measuredOnly();
    return !a.isEmpty() && a.frequencies() == s12.measuredOnly().frequencies();
}

QStringList outputPaths(const QString &path, const TTrace &s21, const TTrace &s12)
{
    const bool hasS21 = s21.measuredCount() > 0;
    const bool hasS12 = s12.measuredCount() > 0;
    if (!hasS21 && !hasS12)
        return {};
    if (!hasS21 || !hasS12 || channelsCoincide(s21, s12))
        return {path};
    return {channelPath(path, EScanChannel::S21), channelPath(path, EScanChannel::S12)};
}

QByteArray toText(const TTraceInfo &info, const TTrace &s21, const TTrace &s12)
{
    QString text = QStringLiteral("! Oskiro MERO measurement\n");
    const auto comment = [&text](const QString &key, const QString &value) {
        text += QStringLiteral("! %1: %2\n").arg(key, FileText::singleLine(value));
    };
    comment(QStringLiteral("device"), info.deviceId);
    comment(QStringLiteral("firmware"), info.firmware);
    comment(QStringLiteral("preset"), info.preset);
    comment(QStringLiteral("power"), info.power);
    comment(QStringLiteral("attenuators"), info.attenuators);
    if (info.date.isValid())
        comment(QStringLiteral("date"), info.date.toUTC().toString(Qt::ISODate));
    if (info.levels == ELevelKind::RAW)
        text += kRawLevelsLine + QLatin1Char('\n');
    else if (info.levels == ELevelKind::CALIBRATED)
        text += kCalibratedLevelsLine + QLatin1Char('\n');
    text += QStringLiteral("! S21 is the uplink, S12 the downlink; only their levels are measured.\n"
                           "! S11 and S22, and S21 or S12 where this file does not hold it, are written as %1 dB.\n"
                           "! Angles are not measured and written as 0.\n")
                .arg(FileText::levelText(kNotMeasuredDb));
    text += kOptionLine + QStringLiteral("\n! freq S11dB S11ang S21dB S21ang S12dB S12ang S22dB S22ang\n");
    const QString notMeasured = FileText::levelText(kNotMeasuredDb);
    for (const TRow &row : rows(s21, s12)) {
        text += QStringLiteral("%1 %2 0 %3 0 %4 0 %2 0\n")
                    .arg(numberText(row.frequencyHz), notMeasured, FileText::levelText(row.s21Db), FileText::levelText(row.s12Db));
    }
    return text.toUtf8();
}

bool write(const QString &path, const TTraceInfo &info, const TTrace &s21, const TTrace &s12, QString *error)
{
    const QStringList paths = outputPaths(path, s21, s12);
    if (paths.isEmpty()) {
        FileText::report(tag(), QStringLiteral("nothing to write to %1: no measured point").arg(path), error);
        return false;
    }
    if (paths.size() == 1)
        return FileText::writeAtomically(path, toText(info, s21, s12), tag(), error);
    return FileText::writeAtomically(paths.at(0), toText(info, s21, TTrace()), tag(), error)
           && FileText::writeAtomically(paths.at(1), toText(info, TTrace(), s12), tag(), error);
}

std::optional<TTrace> parse(const QByteArray &bytes, const QString &name, EScanChannel parameter, QString *error)
{
    return Parser(name, parameter, error).parse(bytes);
}

std::optional<TTrace> read(const QString &path, EScanChannel parameter, QString *error)
{
    const std::optional<QByteArray> bytes = FileText::readBounded(path, kMaxFileBytes, tag(), error);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes, path, parameter, error);
}

ELevelKind levelKind(const QByteArray &bytes)
{
    for (const QString &line : FileText::lines(bytes)) {
        const QString text = line.trimmed();
        if (text == kRawLevelsLine)
            return ELevelKind::RAW;
        if (text == kCalibratedLevelsLine)
            return ELevelKind::CALIBRATED;
        // The comments that say it come before the option line.
        if (text.startsWith(kOptionStart))
            break;
    }
    return ELevelKind::UNKNOWN;
}

} // namespace ZData::TR::Touchstone
