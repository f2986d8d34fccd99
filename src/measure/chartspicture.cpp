#include "measure/chartspicture.h"

#include "chart/zchartview.h"
#include "data/traces/sweepexport.h"

#include <QPainter>

namespace ZMeasure {

ChartsPicture::ChartsPicture()
{
    for (size_t channel = 0; channel < m_views.size(); ++channel) {
        auto view = std::make_unique<ZChart::ZChartView>();
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->resize(kViewSize);
        view->restoreSettings();
        // The views of the upper corners are those of S21 and S12.
        view->setCorner(quint32(channel));
        // Shown, so that the chart lays itself out as in the window.
        view->show();
        m_views[channel] = std::move(view);
    }
}

ChartsPicture::~ChartsPicture() = default;

QString ChartsPicture::tag()
{
    static const QString tagText = QStringLiteral("ChartsPicture");
    return tagText;
}

QImage ChartsPicture::render() const
{
    QImage image(kViewSize.width(), kViewSize.height() * int(m_views.size()), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (size_t i = 0; i < m_views.size(); ++i) {
        ZChart::ZChartView &view = *m_views[i];
        view.redraw(true);
        painter.drawPixmap(0, kViewSize.height() * int(i), view.grab());
    }
    return image;
}

bool ChartsPicture::save(const QString &path, QString *error) const
{
    return ZData::TR::SweepExport::writePicture(path, render(), error);
}

} // namespace ZMeasure
