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
    retranslate();
    m_refreshTimer.setInterval(kRefreshIntervalMs);
    m_refreshTimer.setSingleShot(false);
    makeConnections();
    if (ZData::DM::SerialPort::instance().isOpen())
        showConnectedView();
    else
        showDisconnectedView();
    restoreSettings();
    registerRestorable();
}

DeviceConnector::~DeviceConnector()
{
    SettingsManager::removeRestorable(this);
}

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

void DeviceConnector::retranslate()
{
    m_ui->retranslateUi(this);
    QString hint = qtTrId("devcon_sp_no_ports");
#ifdef Q_OS_LINUX
    hint += QLatin1Char('\n') + qtTrId("devcon_sp_no_ports_linux");
#endif
    m_ui->noPorts_label->setText(hint);
}

void DeviceConnector::slotUpdatePortsInfo()
{
    QVector<QStringList> entries;
    for (const TPortDetails &port : m_portSource()) {
        if (isDevicePort(port))
            entries.append(entryData(port));
    }
    // An unchanged list is left as it is, so that the refresh neither
    // undoes the user's choice nor shakes an open drop-down.
    if (entries != listedEntries())
        rebuildList(entries);
    m_ui->button_apply->setEnabled(!entries.isEmpty());
    updateNoPortsHint();
}

QVector<QStringList> DeviceConnector::listedEntries() const
{
    const QComboBox *list = m_ui->listbox_serial_port_info;
    QVector<QStringList> entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemData(i).toStringList());
    return entries;
}

void DeviceConnector::rebuildList(const QVector<QStringList> &entries)
{
    QComboBox *list = m_ui->listbox_serial_port_info;
    const QString chosen = list->currentText();
    {
        // Rebuilding would announce every intermediate selection.
        const QSignalBlocker blocker(list);
        list->clear();
        for (const QStringList &entry : entries)
            list->addItem(entry.value(FIELD_NAME), entry);
        // The user's choice if it is still there, else the port in use,
        // else the first.
        int index = indexOfPort(chosen);
        if (index < 0)
            index = indexOfPort(m_portInUse);
        list->setCurrentIndex(index >= 0 ? index : (list->count() > 0 ? 0 : -1));
    }
    clearDetails();
    slotShowPortInfo(list->currentIndex());
}

int DeviceConnector::indexOfPort(const QString &name) const
{
    if (name.isEmpty())
        return -1;
    const QComboBox *list = m_ui->listbox_serial_port_info;
    for (int i = 0; i < list->count(); ++i) {
        const QStringList entry = list->itemData(i).toStringList();
        if (entry.value(FIELD_NAME) == name || entry.value(FIELD_LOCATION) == name)
            return i;
    }
    return -1;
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
    m_portInUse = ZData::DM::SerialPort::instance().settings().portName;
    m_ui->inUse_value->setText(m_portInUse);
    m_ui->inUse_label->show();
    m_ui->inUse_value->show();
    m_ui->btn_disconnect->show();
    m_ui->button_apply->hide();
    updateNoPortsHint();
}

void DeviceConnector::showDisconnectedView()
{
    m_portInUse.clear();
    m_ui->inUse_label->hide();
    m_ui->inUse_value->hide();
    m_ui->btn_disconnect->hide();
    m_ui->button_apply->show();
    updateNoPortsHint();
}

// A port in use that is not listed (the simulator's link) is no reason to
// tell the user to plug the device in.
void DeviceConnector::updateNoPortsHint()
{
    m_ui->noPorts_label->setVisible(m_ui->listbox_serial_port_info->count() == 0 && m_portInUse.isEmpty());
}

void DeviceConnector::showEvent(QShowEvent *event)
{
    m_shownThisRun = true;
    slotUpdatePortsInfo();
    m_refreshTimer.start();
    QDialog::showEvent(event);
}

// Every way out of the dialog hides it, also Escape and the window manager,
// which never reach closeEvent; the list must not keep refreshing unseen.
void DeviceConnector::hideEvent(QHideEvent *event)
{
    m_refreshTimer.stop();
    QDialog::hideEvent(event);
}

void DeviceConnector::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(event);
}

void DeviceConnector::registerRestorable()
{
    SettingsManager::addRestorable(this);
}

void DeviceConnector::saveSettings()
{
    Log::traceInfo(tag(), QStringLiteral("DeviceConnector::saveSettings"));
    if (!m_shownThisRun)
        return;
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
