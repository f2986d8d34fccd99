#pragma once

#include "core/isconfigurable.h"
#include "core/isettingsrestorable.h"
#include "core/istaggable.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>

namespace Ui {
class DeviceConnector;
}

// Where the user picks the device's serial port and connects or disconnects.
// Ports of the device's USB chip vendor or of the device maker are offered,
// all ports on request, and any other may be typed (an adapter of another
// maker, the simulator's link); the list refreshes every second while the
// dialog is shown and keeps the user's choice while that port is there.
class DeviceConnector : public QDialog,
                        public ZCore::ISTaggable,
                        public ZCore::ISConfigurable,
                        public ZCore::ISettingsRestorable
{
    Q_OBJECT

public:
    // What the dialog needs to know about one serial port.
    struct TPortDetails
    {
        QString name;
        QString description;
        QString manufacturer;
        QString serialNumber;
        QString systemLocation;
    };
    using PortSource = std::function<QVector<TPortDetails>()>;

    static constexpr int kRefreshIntervalMs = 1000;

    explicit DeviceConnector(QWidget *parent = nullptr);
    ~DeviceConnector() override;

    static QString tag();

    // The ports of the system; tests and tools may offer others.
    static QVector<TPortDetails> systemPorts();
    // Null restores systemPorts.
    void setPortSource(PortSource source);

    // Manufacturer names the device's USB vendor or maker, in any case.
    static bool isDevicePort(const TPortDetails &port);
    // Name, description, manufacturer, serial number, location; "N/A" for
    // each one left empty.
    static QStringList entryData(const TPortDetails &port);

    Ui::DeviceConnector *ui() const { return m_ui.get(); }
    bool isRefreshing() const { return m_refreshTimer.isActive(); }

    // The geometry is saved with everything else when the main window
    // closes, and only once the dialog has been seen in this run: a dialog
    // never shown has no place of its own yet.
    void saveSettings() override;
    void restoreSettings() override;
    void registerRestorable() override;

public slots:
    void slotUpdatePortsInfo();
    void slotShowPortInfo(int index);
    void slotGotSettings();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void makeConnections();
    void retranslate();
    QVector<QStringList> listedEntries() const;
    void rebuildList(const QVector<QStringList> &entries);
    // The typed or chosen port: its details, and whether there is one to apply.
    void showPortText(const QString &text);
    // By name or by system location, as --port may give either; -1 if none.
    int indexOfPort(const QString &name) const;
    void applyPort();
    void showConnectedView();
    void showDisconnectedView();
    void showAccessAdvice(const QString &advice);
    void updateNoPortsHint();
    void clearDetails();

    std::unique_ptr<Ui::DeviceConnector> m_ui;
    QTimer m_refreshTimer;
    PortSource m_portSource;
    // Empty while no port is open.
    QString m_portInUse;
    bool m_shownThisRun = false;
};
