#pragma once

#include <QString>

#include <limits>

namespace ZCore {

class TVersion
{
public:
    static constexpr quint32 kUndefinedPart = std::numeric_limits<quint32>::max();
    static constexpr int kPartCount = 3;

    TVersion() = default;
    TVersion(quint32 major, quint32 minor, quint32 build);
    // Anything but three dot-separated parts yields the undefined version.
    static TVersion fromString(const QString &text);

    quint32 major() const { return m_major; }
    quint32 minor() const { return m_minor; }
    quint32 build() const { return m_build; }
    int count() const { return kPartCount; }
    bool isUndefined() const;
    QString toString() const;

    bool operator==(const TVersion &other) const;
    bool operator!=(const TVersion &other) const { return !(*this == other); }
    bool operator<(const TVersion &other) const;
    bool operator>(const TVersion &other) const { return other < *this; }
    bool operator<=(const TVersion &other) const { return !(other < *this); }
    bool operator>=(const TVersion &other) const { return !(*this < other); }

private:
    quint32 m_major = kUndefinedPart;
    quint32 m_minor = kUndefinedPart;
    quint32 m_build = kUndefinedPart;
};

// The application's own version, parsed once.
const TVersion &appVersion();

} // namespace ZCore
