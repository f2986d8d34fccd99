#include "ui/dialogs/deviceconnector.h"

#include "core/esettingsgroups.h"
#include "core/log.h"
#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "core/utilitymodules/ui.h"
#include "data/device/devicemanager.h"
#include "data/device/serialport.h"
#include "ui_deviceconnector.h"

#include <QCompleter>
#include <QEvent>
#include <QLineEdit>
#include <QSerialPortInfo>
#include <QSettings>

using namespace ZCore;

namespace {

const char *const kKeyGeometry = "geometry";
const char *const kKeyListAll = "listAllPorts";
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
    // Port names are case-sensitive; a completion must not change what
    // the user typed.
    m_ui->listbox_serial_port_info->completer()->setCaseSensitivity(Qt::CaseSensitive);
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
    connect(m_ui->listbox_serial_port_info, &QComboBox::editTextChanged, this, &DeviceConnector::showPortText);
    connect(m_ui->listAll_check, &QCheckBox::toggled, this, &DeviceConnector::slotUpdatePortsInfo);
    connect(m_ui->button_refresh, &QPushButton::released, this, &DeviceConnector::slotUpdatePortsInfo);
    connect(m_ui->button_apply, &QPushButton::released, this, &DeviceConnector::applyPort);
    connect(m_ui->btn_disconnect, &QPushButton::released, &ZData::DeviceManager::instance(),
            &ZData::DeviceManager::requestDisconnect);
    connect(&ZData::DM::SerialPort::instance(), &ZData::DM::SerialPort::signalOpened, this,
            &DeviceConnector::showConnectedView);
    connect(&ZData::DM::SerialPort::instance(), &ZData::DM::SerialPort::signalClosed, this,
            &DeviceConnector::showDisconnectedView);
    // Shown once the refused open has returned and the dialog is gone.
    connect(&ZData::DM::SerialPort::instance(), &ZData::DM::SerialPort::signalAccessDenied, this,
            &DeviceConnector::showAccessAdvice, Qt::QueuedConnection);
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
    m_ui->listbox_serial_port_info->lineEdit()->setPlaceholderText(qtTrId("devcon_sp_port_placeholder"));
    m_ui->listbox_serial_port_info->setToolTip(qtTrId("devcon_sp_port_tip"));
    m_ui->listAll_check->setToolTip(qtTrId("devcon_sp_list_all_tip"));
}

void DeviceConnector::slotUpdatePortsInfo()
{
    const bool listAll = m_ui->listAll_check->isChecked();
    QVector<QStringList> entries;
    for (const TPortDetails &port : m_portSource()) {
        if (listAll || isDevicePort(port))
            entries.append(entryData(port));
    }
    // An unchanged list is left as it is, so that the refresh neither
    // undoes the user's choice nor shakes an open drop-down.
    if (entries != listedEntries())
        rebuildList(entries);
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
    // A name the list did not hold was typed, and stays until the user
    // changes it; a listed one that went away gives way to another.
    const bool typed = !chosen.isEmpty() && indexOfPort(chosen) < 0;
    const int cursor = list->lineEdit()->cursorPosition();
    {
        // Rebuilding would announce every intermediate selection.
        const QSignalBlocker blocker(list);
        list->clear();
        for (const QStringList &entry : entries)
            list->addItem(entry.value(FIELD_NAME), entry);
        // The user's choice if it is there, else the port in use, else
        // the first.
        int index = indexOfPort(chosen);
        if (index < 0 && !typed)
            index = indexOfPort(m_portInUse);
        if (index < 0 && !typed && list->count() > 0)
            index = 0;
        list->setCurrentIndex(index);
        if (index < 0) {
            list->setEditText(chosen);
            list->lineEdit()->setCursorPosition(cursor);
        }
    }
    showPortText(list->currentText());
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

void DeviceConnector::showPortText(const QString &text)
{
    const int index = indexOfPort(text);
    if (index >= 0)
        slotShowPortInfo(index);
    else
        clearDetails();
    m_ui->button_apply->setEnabled(!text.trimmed().isEmpty());
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
    // A pasted path often brings a line break or a space along.
    const QString portName = m_ui->listbox_serial_port_info->currentText().trimmed();
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

void DeviceConnector::showAccessAdvice(const QString &advice)
{
    // The dialog has closed after Apply, or was never opened (--port).
    QWidget *parent = isVisible() ? this : parentWidget();
    UserDialogs::warning(parent, qtTrId("dw_port_denied_title"), advice);
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
    settings->setValue(QLatin1String(kKeyListAll), m_ui->listAll_check->isChecked());
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
    {
        // The list follows when it is next shown, not from here.
        const QSignalBlocker blocker(m_ui->listAll_check);
        m_ui->listAll_check->setChecked(settings->value(QLatin1String(kKeyListAll), false).toBool());
    }
    settings->endGroup();
    if (!geometry.isEmpty() && !restoreGeometry(geometry))
        Log::warning(tag(), QStringLiteral(">> stored geometry is not usable => kept the current one"));
    UtilityModules::UI::tryToFixWidgetScreenPos(this);
}
