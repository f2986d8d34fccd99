#include "core/utilitymodules/image.h"

#include <QPainter>
#include <QPen>
#include <QTransform>

namespace ZCore::UtilityModules::Image {

QString tag()
{
    static const QString tagText = QStringLiteral("Utility::Image");
    return tagText;
}

QPixmap makeSplashPixmap(const QString &logoPath, const QSize &size, const QColor &background)
{
    QPixmap splash(size);
    splash.fill(background);
    const QPixmap logo = loadPixmap(logoPath);
    if (!logo.isNull()) {
        QPainter painter(&splash);
        painter.drawPixmap((size.width() - logo.width()) / 2, (size.height() - logo.height()) / 2, logo);
    }
    return splash;
}

void drawPixmapBorder(QPixmap &pixmap, int penWidth, const QColor &color, Qt::PenJoinStyle join)
{
    QPainter painter(&pixmap);
    QPen pen(color);
    pen.setWidth(penWidth);
    pen.setJoinStyle(join);
    painter.setPen(pen);
    painter.drawRect(penWidth - 1, penWidth - 1, pixmap.width() - penWidth, pixmap.height() - penWidth);
}

QPixmap loadPixmap(const QString &path)
{
    return QPixmap(path);
}

QPixmap rotatedPixmap(const QPixmap &pixmap, qreal degrees)
{
    const QPointF center(pixmap.width() / 2.0, pixmap.height() / 2.0);
    QTransform transform;
    transform.translate(center.x(), center.y());
    transform.rotate(degrees);
    transform.translate(-center.x(), -center.y());
    return pixmap.transformed(transform, Qt::FastTransformation);
}

} // namespace ZCore::UtilityModules::Image
