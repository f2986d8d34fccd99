#include "data/traces/filetext.h"

#include "core/log.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace ZData::TR::FileText {

bool writeAtomically(const QString &path, const QByteArray &text, const QString &tag, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    report(tag, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()), error);
    return false;
}

std::optional<QByteArray> readBounded(const QString &path, qint64 limit, const QString &tag, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(tag, path, 0, QStringLiteral("cannot be read: ") + file.errorString(), error);
        return std::nullopt;
    }
    // Read one byte past the limit: a pipe or a growing file has no size.
    const QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) {
        refuse(tag, path, 0, QStringLiteral("is larger than %1 bytes").arg(limit), error);
        return std::nullopt;
    }
    return bytes;
}

void refuse(const QString &tag, const QString &name, int line, const QString &reason, QString *error)
{
    // Joined, not substituted: a file name may hold "%2" itself.
    const QString where = line > 0 ? name + QLatin1Char(':') + QString::number(line) : name;
    report(tag, QStringLiteral("%1: %2, file refused").arg(where, reason), error);
}

void report(const QString &tag, const QString &text, QString *error)
{
    ZCore::Log::warning(tag, QStringLiteral(">> ") + text);
    if (error)
        *error = text;
}

QString levelText(double levelDb)
{
    const QString text = QString::number(levelDb, 'f', kLevelDecimals);
    static const QString negativeZero = QStringLiteral("-") + QString::number(0.0, 'f', kLevelDecimals);
    return text == negativeZero ? text.mid(1) : text;
}

QString singleLine(QString value)
{
    return value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QStringList lines(const QByteArray &text)
{
    QStringList result = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (QString &line : result) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

} // namespace ZData::TR::FileText
