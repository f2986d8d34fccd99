#include "data/traces/sweepexport.h"

#include "data/scan/tscanpreset.h"
#include "data/traces/filetext.h"
#include "data/traces/touchstone.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace ZData::TR::SweepExport {

namespace {

const char *const kPictureFormat = "PNG";

struct TSuffix
{
    EFormat format;
    const char *text;
};
constexpr TSuffix kSuffixes[] = {
    {EFormat::CSV, ".csv"}, {EFormat::TOUCHSTONE, ".s2p"}, {EFormat::PICTURE, ".png"}};

// A Touchstone file writes every parameter, measured or not; a channel
// whose column holds nothing else was not in the file at all.
bool anyMeasured(const TTrace &trace)
{
    const QVector<double> &levels = trace.levels();
    return std::any_of(levels.cbegin(), levels.cend(),
                       [](double level) { return !std::isnan(level) && level > Touchstone::kNotMeasuredDb; });
}

} // namespace

QString tag()
{
    static const QString tagText = QStringLiteral("SweepExport");
    return tagText;
}

EFormat formatOf(const QString &path)
{
    for (const TSuffix &entry : kSuffixes) {
        if (path.endsWith(QLatin1String(entry.text), Qt::CaseInsensitive))
            return entry.format;
    }
    return EFormat::UNKNOWN;
}

QString suffix(EFormat format)
{
    for (const TSuffix &entry : kSuffixes) {
        if (entry.format == format)
            return QLatin1String(entry.text);
    }
    return QString();
}

TTraceFile traceFile(const TTraceInfo &info, const TChannelTraces &live, const TReferences &references)
{
    TTraceFile file;
    file.info = info;
    for (int channel = 0; channel < kScanChannelCount; ++channel)
        file.records.append({EScanChannel(channel), ETraceRole::LIVE, live[size_t(channel)]});
    for (int channel = 0; channel < kScanChannelCount; ++channel) {
        if (const std::optional<TTrace> &reference = references[size_t(channel)])
            file.records.append({EScanChannel(channel), ETraceRole::REFERENCE, *reference});
    }
    return file;
}

QStringList outputPaths(const QString &path, const TChannelTraces &live)
{
    if (formatOf(path) != EFormat::TOUCHSTONE)
        return {path};
    const QStringList paths = Touchstone::outputPaths(path, live[EScanChannel::S21], live[EScanChannel::S12]);
    return paths.isEmpty() ? QStringList{path} : paths;
}

bool writeTraces(const QString &path, const TTraceInfo &info, const TChannelTraces &live,
                 const TReferences &references, QString *error)
{
    // A file without a point would look written and read back as refused.
    if (std::none_of(live.cbegin(), live.cend(), [](const TTrace &trace) { return trace.measuredCount() > 0; })) {
        FileText::report(tag(), QStringLiteral("nothing to write to %1: no measured point").arg(path), error);
        return false;
    }
    switch (formatOf(path)) {
    case EFormat::CSV:
        return TraceFileFormat::write(path, traceFile(info, live, references), error);
    case EFormat::TOUCHSTONE:
        return Touchstone::write(path, info, live[EScanChannel::S21], live[EScanChannel::S12], error);
    case EFormat::PICTURE:
    case EFormat::UNKNOWN:
        break;
    }
    FileText::report(tag(), QStringLiteral("cannot write %1: unknown format").arg(path), error);
    return false;
}

bool writePicture(const QString &path, const QImage &image, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, kPictureFormat)) {
        FileText::report(tag(), QStringLiteral("cannot encode the picture for %1").arg(path), error);
        return false;
    }
    return FileText::writeAtomically(path, bytes, tag(), error);
}

std::optional<TTrace> readTrace(const QString &path, int channel, ELevelKind *levels, QString *error)
{
    channel = clampChannel(channel);
    const QString name = TScanPreset::channelGroup(channel);
    QString reason;
    std::optional<TTrace> trace;
    ELevelKind kind = ELevelKind::UNKNOWN;
    switch (formatOf(path)) {
    case EFormat::CSV:
        if (const std::optional<TTraceFile> file = TraceFileFormat::read(path, &reason)) {
            trace = file->traceFor(channel);
            kind = file->info.levels;
            if (!trace)
                FileText::refuse(tag(), path, 0, QStringLiteral("holds no trace of %1").arg(name), &reason);
        }
        break;
    case EFormat::TOUCHSTONE:
        if (const std::optional<QByteArray> bytes =
                FileText::readBounded(path, Touchstone::kMaxFileBytes, Touchstone::tag(), &reason)) {
            trace = Touchstone::parse(*bytes, path, EScanChannel(channel), &reason);
            kind = Touchstone::levelKind(*bytes);
        }
        break;
    case EFormat::PICTURE:
    case EFormat::UNKNOWN:
        FileText::refuse(tag(), path, 0, QStringLiteral("is neither a trace file nor a Touchstone file"), &reason);
        break;
    }
    if (trace && !anyMeasured(*trace)) {
        FileText::refuse(tag(), path, 0, QStringLiteral("holds no measured point of %1").arg(name), &reason);
        trace.reset();
    }
    if (error)
        *error = reason;
    if (trace && levels)
        *levels = kind;
    return trace;
}

} // namespace ZData::TR::SweepExport
