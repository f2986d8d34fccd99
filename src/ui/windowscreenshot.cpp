#include "ui/windowscreenshot.h"

#include "core/log.h"
#include "data/scan/datascanmanager.h"
#include "data/traces/sweepexport.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

using namespace ZCore;

WindowScreenshot::WindowScreenshot(QWidget *window, const QString &filePath, int timeoutMs)
    : QObject(window)
    , m_window(window)
    , m_filePath(filePath)
{
    // Queued: the sweep's last slice is drawn by the direct connections of
    // the same emission; the picture is taken once those have all run.
    connect(&ZData::DataScanManager::instance(), &ZData::DataScanManager::signalActiveScanPresetReachedEnd, this,
            [this] { finish(true); }, Qt::QueuedConnection);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { finish(false); });
    m_timeout.start(timeoutMs);
}

QString WindowScreenshot::tag()
{
    static const QString tagText = QStringLiteral("WindowScreenshot");
    return tagText;
}

bool WindowScreenshot::save() const
{
    if (!m_window) {
        Log::warning(tag(), QStringLiteral(">> no window to take a picture of"));
        return false;
    }
    // The writer logs why it failed.
    if (!ZData::TR::SweepExport::writePicture(m_filePath, m_window->grab().toImage()))
        return false;
    Log::info(tag(), QStringLiteral(">> saved the window picture to %1").arg(m_filePath));
    return true;
}

void WindowScreenshot::finish(bool sweptBoth)
{
    if (m_done)
        return;
    m_done = true;
    m_timeout.stop();
    if (!sweptBoth)
        Log::warning(tag(), QStringLiteral(">> no complete sweep within %1 ms => picture of the window as it is")
                                .arg(m_timeout.interval()));
    int exitCode = kExitNotWritten;
    if (save())
        exitCode = sweptBoth ? kExitSaved : kExitNoSweep;
    emit signalFinished(exitCode);
    if (m_window)
        m_window->close();
    QCoreApplication::exit(exitCode);
}
