#include "ui/dialogs/deviceconnector.h"

#include "core/esettingsgroups.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "core/utilitymodules/ui.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "ui_deviceconnector.h"

#include <QEvent>
#include <QSerialPortInfo>
#include <QSettings>

using namespace ZCore;

namespace {

const char *const kKeyGeometry = "geometry";
const char *const kNotAvailable = "N/A";
// The device's USB chip vendor and the device maker.
const char *const kDeviceVendors[] = {"STMicro", "Tamrik"};

enum EEntryField : int { FIELD_NAME, FIELD_DESCRIPTION, FIELD_MANUFACTURER, FIELD_SERIAL, FIELD_LOCATION };

} // namespace

DeviceConnector::DeviceConnector(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DeviceConnector>())
    , m_portSource(&DeviceConnector::systemPorts)
{
    m_ui->setupUi(this);
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    m_refreshTimer.setSingleShot(false);
    makeConnections();
    showDisconnectedView();
    restoreSettings();
}

DeviceConnector::~DeviceConnector() = default;

QString DeviceConnector::tag()
{
    static const QString tagText = QStringLiteral("DeviceConnector");
    return tagText;
}

QVector<DeviceConnector::TPortDetails> DeviceConnector::systemPorts()
{
    QVector<TPortDetails> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.description(), info.manufacturer(), info.serialNumber(),
                      info.systemLocation()});
    return ports;
}

void DeviceConnector::setPortSource(PortSource source)
{
    m_portSource = source ? std::move(source) : PortSource(&DeviceConnector::systemPorts);
}

bool DeviceConnector::isDevicePort(const TPortDetails &port)
{
    for (const char *vendor : kDeviceVendors) {
        if (port.manufacturer.contains(QLatin1String(vendor), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QStringList DeviceConnector::entryData(const TPortDetails &port)
{
    QStringList data{port.name, port.description, port.manufacturer, port.serialNumber, port.systemLocation};
    for (QString &text : data) {
        if (text.isEmpty())
            text = QLatin1String(kNotAvailable);
    }
    return data;
}

void DeviceConnector::makeConnections()
{
    connect(&SettingsManager::instance(), &SettingsManager::signalGotSettings, this,
            &DeviceConnector::slotGotSettings);
    connect(m_ui->listbox_serial_port_info, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DeviceConnector::slotShowPortInfo);
    connect(m_ui->button_refresh, &QPushButton::released, this, &DeviceConnector::slotUpdatePortsInfo);
    connect(m_ui->button_apply, &QPushButton::released, this, &DeviceConnector::applyPort);
    connect(m_ui->btn_disconnect, &QPushButton::released, &ZData::DeviceManager::instance(),
            &ZData::DeviceManager::requestDisconnect);
    connect(&ZData::DM::SerialPort::instance(), &ZData::DM::SerialPort::signalOpened, this,
            &DeviceConnector::showConnectedView);
    connect(&ZData::DM::SerialPort::instance(), &ZData::DM::SerialPort::signalClosed, this,
            &DeviceConnector::showDisconnectedView);
    connect(&m_refreshTimer, &QTimer::timeout, this, &DeviceConnector::slotUpdatePortsInfo);
}

void DeviceConnector::slotUpdatePortsInfo()
{
    QComboBox *list = m_ui->listbox_serial_port_info;
    {
        // Rebuilding would announce every intermediate selection.
        const QSignalBlocker blocker(list);
        list->clear();
        for (const TPortDetails &port : m_portSource()) {
            if (isDevicePort(port))
                list->addItem(port.name, entryData(port));
        }
        list->setCurrentIndex(list->count() > 0 ? 0 : -1);
    }
    clearDetails();
    slotShowPortInfo(list->currentIndex());
    m_ui->button_apply->setEnabled(list->count() > 0);
}

void DeviceConnector::slotShowPortInfo(int index)
{
    if (index < 0)
        return;
    const QStringList data = m_ui->listbox_serial_port_info->itemData(index).toStringList();
    const QString notAvailable = QLatin1String(kNotAvailable);
    m_ui->description_value->setText(data.value(FIELD_DESCRIPTION, notAvailable));
    m_ui->manufacturer_value->setText(data.value(FIELD_MANUFACTURER, notAvailable));
    m_ui->serialNumber_value->setText(data.value(FIELD_SERIAL, notAvailable));
    m_ui->location_value->setText(data.value(FIELD_LOCATION, notAvailable));
}

void DeviceConnector::slotGotSettings()
{
    restoreSettings();
}

void DeviceConnector::clearDetails()
{
    const QString notAvailable = QLatin1String(kNotAvailable);
    m_ui->location_value->setText(notAvailable);
    m_ui->serialNumber_value->setText(notAvailable);
    m_ui->manufacturer_value->setText(notAvailable);
    m_ui->description_value->setText(notAvailable);
}

void DeviceConnector::applyPort()
{
    const QString portName = m_ui->listbox_serial_port_info->currentText();
    if (portName.isEmpty())
        return;
    Log::info(tag(), QStringLiteral("<< apply port: ") + portName);
    ZData::DM::SerialPort::instance().openPort(portName);
    close();
}

void DeviceConnector::showConnectedView()
{
    m_ui->btn_disconnect->show();
    m_ui->button_apply->hide();
}

void DeviceConnector::showDisconnectedView()
{
    m_ui->btn_disconnect->hide();
    m_ui->button_apply->show();
}

void DeviceConnector::showEvent(QShowEvent *event)
{
    slotUpdatePortsInfo();
    m_refreshTimer.start();
    QDialog::showEvent(event);
}

// Every way out of the dialog hides it, also Escape and the window manager,
// which never reach closeEvent; the list must not keep refreshing unseen.
void DeviceConnector::hideEvent(QHideEvent *event)
{
    m_refreshTimer.stop();
    saveSettings();
    QDialog::hideEvent(event);
}

void DeviceConnector::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

void DeviceConnector::saveSettings()
{
    Log::traceInfo(tag(), QStringLiteral("DeviceConnector::saveSettings"));
    QSettings *settings = SettingsManager::currentSettings();
    if (!settings) {
        Log::critical(tag(), QStringLiteral(">> ") + qtTrId("devcon_err_cant_write_settings"));
        return;
    }
    settings->beginGroup(settingsGroupText(ESettingsGroups::WINDOW_CONNECTION));
    settings->setValue(QLatin1String(kKeyGeometry), saveGeometry());
    settings->endGroup();
}

void DeviceConnector::restoreSettings()
{
    Log::traceInfo(tag(), QStringLiteral("DeviceConnector::restoreSettings"));
    QSettings *settings = SettingsManager::currentSettings();
    if (!settings) {
        Log::warning(tag(), QStringLiteral(">> no settings loaded"));
        return;
    }
    settings->beginGroup(settingsGroupText(ESettingsGroups::WINDOW_CONNECTION));
    const QByteArray geometry = settings->value(QLatin1String(kKeyGeometry)).toByteArray();
    settings->endGroup();
    if (!geometry.isEmpty() && !restoreGeometry(geometry))
        Log::warning(tag(), QStringLiteral(">> stored geometry is not usable => kept the current one"));
    UtilityModules::UI::tryToFixWidgetScreenPos(this);
}
