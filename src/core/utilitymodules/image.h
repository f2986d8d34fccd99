#pragma once

#include <QColor>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace ZCore::UtilityModules::Image {

QString tag();
QPixmap makeSplashPixmap(const QString &logoPath, const QSize &size, const QColor &background);
void drawPixmapBorder(QPixmap &pixmap, int penWidth, const QColor &color, Qt::PenJoinStyle join);
QPixmap loadPixmap(const QString &path);
QPixmap rotatedPixmap(const QPixmap &pixmap, qreal degrees);

} // namespace ZCore::UtilityModules::Image
