#pragma once

#include "core/istaggable.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QWidget;

// Saves a picture of a window once both channels have completed a sweep,
// then closes the window and ends the event loop: a report for users, and
// a way to see the application work where there is no display.
class WindowScreenshot : public QObject, public ZCore::ISTaggable
{
    Q_OBJECT

public:
    // A device that never completes a sweep must not keep an unattended run
    // alive for ever; the picture is then taken as the window stands.
    static constexpr int kDefaultTimeoutMs = 60000;
    static constexpr int kExitSaved = 0;
    static constexpr int kExitNoSweep = 2;
    static constexpr int kExitNotWritten = 3;

    WindowScreenshot(QWidget *window, const QString &filePath, int timeoutMs = kDefaultTimeoutMs);

    static QString tag();

    // Writes the PNG; false (and logged) when the file cannot be written.
    bool save() const;

signals:
    void signalFinished(int exitCode);

private:
    void finish(bool sweptBoth);

    QPointer<QWidget> m_window;
    QString m_filePath;
    QTimer m_timeout;
    bool m_done = false;
};
