#pragma once

#include "core/log.h"

#include <QMetaEnum>
#include <QString>

namespace ZCore {

namespace EnumPrinter {
QString tag();
// Logs the unknown-value warning and yields the number as text.
QString unknownValue(const QString &typeName, qint64 value);
} // namespace EnumPrinter

// "EType::VALUE" for any meta-enum; typeName overrides the printed type
// (e.g. "DMM::EStates"). Unknown values are logged and printed as numbers.
template <typename E>
QString enumText(E value, const QString &typeName = QString())
{
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    const QString name = typeName.isEmpty() ? QString::fromLatin1(meta.enumName()) : typeName;
    const int raw = static_cast<int>(value);
    const char *key = meta.valueToKey(raw);
    if (!key)
        return EnumPrinter::unknownValue(name, static_cast<qint64>(value));
    return name + QStringLiteral("::") + QString::fromLatin1(key);
}

// The bare value name ("OSKIRO_MERO"), or the logged number when unknown.
template <typename E>
QString enumKey(E value)
{
    const QMetaEnum meta = QMetaEnum::fromType<E>();
    const char *key = meta.valueToKey(static_cast<int>(value));
    if (!key)
        return EnumPrinter::unknownValue(QString::fromLatin1(meta.enumName()), static_cast<qint64>(value));
    return QString::fromLatin1(key);
}

} // namespace ZCore
