#include "core/tversion.h"

#include <QStringList>

#include <tuple>

namespace ZCore {

namespace {
const char *const kAppVersionText = "1.15.823";
}

TVersion::TVersion(quint32 major, quint32 minor, quint32 build)
    : m_major(major), m_minor(minor), m_build(build)
{
}

TVersion TVersion::fromString(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.size() != kPartCount)
        return TVersion();
    return TVersion(parts.at(0).toUInt(), parts.at(1).toUInt(), parts.at(2).toUInt());
}

bool TVersion::isUndefined() const
{
    return m_major == kUndefinedPart && m_minor == kUndefinedPart && m_build == kUndefinedPart;
}

QString TVersion::toString() const
{
    return QStringLiteral("%1.%2.%3").arg(m_major).arg(m_minor).arg(m_build);
}

bool TVersion::operator==(const TVersion &other) const
{
    return m_major == other.m_major && m_minor == other.m_minor && m_build == other.m_build;
}

bool TVersion::operator<(const TVersion &other) const
{
    return std::tie(m_major, m_minor, m_build) < std::tie(other.m_major, other.m_minor, other.m_build);
}

const TVersion &appVersion()
{
    static const TVersion version = TVersion::fromString(QString::fromLatin1(kAppVersionText));
    return version;
}

} // namespace ZCore
