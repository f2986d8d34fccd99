#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace ZCore::UtilityModules::ZString {

QString tag();
QString formatNumber(double value, char format, int precision, bool forceSign);
// label padded with fill so that label + value + suffix spans width characters.
QString justifyPair(const QString &label, const QString &value, const QString &suffix, QChar fill, int width);
QByteArray toUtf8Text(const QString &text);

} // namespace ZCore::UtilityModules::ZString
