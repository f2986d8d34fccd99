#pragma once

#include "core/istaggable.h"
#include "data/traces/sweepexport.h"

#include <QObject>
#include <QString>

class MainWindow;
class QAction;
class QWidget;

// Saves what the window shows: both channels' traces as the charts draw
// them (with the references shown), as a trace file or Touchstone file, or
// a picture of the window or of one view; and copies that picture to the
// clipboard. Asks before replacing a file; a file that cannot be written
// is said in a box and the log.
class WindowExport : public QObject, public ZCore::ISTaggable
{
    Q_OBJECT

public:
    explicit WindowExport(MainWindow *window);

    static QString tag();

    // Ctrl+S and Ctrl+Shift+C, for the window and its menus.
    QAction *exportAction() const { return m_exportAction; }
    QAction *copyAction() const { return m_copyAction; }
    void retranslate();

    // Asks for the file, then exportTo; pictureSource null is the window.
    bool exportSweep(QWidget *pictureSource = nullptr);
    // The format from the suffix; false when declined or not written.
    bool exportTo(const QString &path, QWidget *pictureSource = nullptr);
    void copyPicture(QWidget *source = nullptr);

private:
    ZData::TR::SweepExport::TReferences shownReferences() const;
    QString askPath();
    bool mayReplace(const QStringList &paths) const;
    void reportFailure(const QString &error) const;

    MainWindow *m_window;
    QAction *m_exportAction;
    QAction *m_copyAction;
    QString m_lastDir;
};
