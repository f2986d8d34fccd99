#include "data/traces/referencestore.h"

#include "core/appenvironment.h"
#include "data/scan/tscanpreset.h"
#include "data/traces/filetext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace ZData::TR::ReferenceStore {

namespace {

const QLatin1String kSuffix(".csv");

// Encoded names longer than this are cut and made unique by a digest: a
// name of 128 Cyrillic letters encodes to 768 characters, and file systems
// stop at 255 bytes a name.
constexpr int kMaxNamePart = 96;
constexpr int kDigestChars = 16;
const QLatin1Char kDigestSeparator('~');

// Unreserved characters stay; everything else, the dot (no "." or ".."
// and no hidden file) and the tilde (the digest's separator) become %XX.
QString fileNamePart(const QString &text)
{
    QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArray(), QByteArrayLiteral(".~")));
    if (encoded.size() <= kMaxNamePart)
        return encoded;
    encoded.truncate(kMaxNamePart - kDigestChars - 1);
    // Never end on half an escape.
    const int escape = encoded.lastIndexOf(QLatin1Char('%'));
    if (escape >= encoded.size() - 2)
        encoded.truncate(escape);
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex();
    return encoded + kDigestSeparator + QString::fromLatin1(digest.left(kDigestChars));
}

} // namespace

QString tag()
{
    static const QString tagText = QStringLiteral("ReferenceStore");
    return tagText;
}

QString dirPath()
{
    return QDir(ZCore::AppEnvironment::appDir()).filePath(QLatin1String(kDirName));
}

QString filePath(const QString &deviceId, const QString &presetName, int channel)
{
    // An empty device id (no device yet) still gets a folder of its own.
    const QString device = deviceId.isEmpty() ? QStringLiteral("%00") : fileNamePart(deviceId);
    return QDir(dirPath()).filePath(device + QLatin1Char('/') + fileNamePart(presetName) + QLatin1Char('_')
                                    + TScanPreset::channelGroup(channel) + kSuffix);
}

bool save(const QString &deviceId, const QString &presetName, int channel, const TTraceInfo &info,
          const TTrace &trace, QString *error)
{
    const QString path = filePath(deviceId, presetName, channel);
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder)) {
        FileText::report(tag(), QStringLiteral("cannot create %1").arg(folder), error);
        return false;
    }
    TTraceFile file;
    file.info = info;
    file.records.append({clampChannel(channel), ETraceRole::REFERENCE, trace});
    return TraceFileFormat::write(path, file, error);
}

std::optional<TTrace> load(const QString &deviceId, const QString &presetName, int channel, QString *error,
                           TTraceInfo *info)
{
    const QString path = filePath(deviceId, presetName, channel);
    if (!QFile::exists(path))
        return std::nullopt;
    const std::optional<TTraceFile> file = TraceFileFormat::read(path, error);
    if (!file)
        return std::nullopt;
    if (const TTraceRecord *record = file->find(channel, ETraceRole::REFERENCE)) {
        if (info)
            *info = file->info;
        return record->trace;
    }
    FileText::refuse(tag(), path, 0, QStringLiteral("holds no %1 reference").arg(TScanPreset::channelGroup(channel)),
                     error);
    return std::nullopt;
}

bool remove(const QString &deviceId, const QString &presetName, int channel)
{
    const QString path = filePath(deviceId, presetName, channel);
    return !QFile::exists(path) || QFile::remove(path);
}

} // namespace ZData::TR::ReferenceStore
