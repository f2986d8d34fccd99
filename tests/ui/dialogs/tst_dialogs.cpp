#include "calibrationbytes.h"
#include "core/settingsmanager.h"
#include "data/calibration/calibrationmanager.h"
#include "data/device/devicemanager.h"
#include "data/device/devicemessagemanager.h"
#include "data/device/serialport.h"
#include "data/scan/datascanmanager.h"
#include "data/scan/rangesliced.h"
#include "findwidget.h"
#include "logcapture.h"
#include "ptypair.h"
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/components/clampedlineedit.h"
#include "ui/components/zdoublevalidator.h"
#include "ui/components/zfreqlineedit.h"
#include "ui/dialogs/deviceconnector.h"
#include "ui/dialogs/preseteditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTranslator>
#include <QtTest>

#include <limits>
#include <memory>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using Ui::Components::ClampedLineEdit;
using Ui::Components::ZDoubleValidator;
using Ui::Components::ZFreqLineEdit;
using TestSupport::findWidget;
using ZCore::SettingsManager;
using ZData::DM::SerialPort;
using ZData::TScanPreset;

namespace {

ZData::DataScanManager &scan() { return ZData::DataScanManager::instance(); }

QByteArray userBytes()
{
    QFile file(SettingsManager::userProfilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList scanNames()
{
    QStringList names;
    for (const TScanPreset &preset : scan().presets())
        names << preset.name;
    return names;
}

template <typename T = QLineEdit>
T *field(const PresetEditor &editor, const char *name) { return TestSupport::findWidget<T>(&editor, name); }

// OK applies and closes the editor, or keeps it open to say why not.
bool confirm(PresetEditor &editor)
{
    field<QDialogButtonBox>(editor, "bb_buttons")->button(QDialogButtonBox::Ok)->click();
    return editor.result() == QDialog::Accepted;
}

// "freq:" in front makes a frequency edit; then "int:B:T", "double:B:T:D"
// (ZDoubleValidator), "plain:B:T:D" (QDoubleValidator) or "none".
std::unique_ptr<ClampedLineEdit> makeEdit(QString shape, const QString &text)
{
    const bool frequency = shape.startsWith(QLatin1String("freq:"));
    std::unique_ptr<ClampedLineEdit> edit(frequency ? new ZFreqLineEdit : new ClampedLineEdit);
    shape.remove(QLatin1String("freq:"));
    const QStringList parts = shape.split(QLatin1Char(':'));
    if (parts.first() == QLatin1String("int"))
        edit->setValidator(new QIntValidator(parts.at(1).toInt(), parts.at(2).toInt(), edit.get()));
    else if (parts.first() == QLatin1String("double"))
        edit->setValidator(new ZDoubleValidator(parts.at(1).toDouble(), parts.at(2).toDouble(), parts.at(3).toInt(), edit.get()));
    else if (parts.first() == QLatin1String("plain"))
        edit->setValidator(new QDoubleValidator(parts.at(1).toDouble(), parts.at(2).toDouble(), parts.at(3).toInt(), edit.get()));
    edit->setText(text);
    return edit;
}

// A dialog listing the ports described "name|manufacturer|description|serial|location".
struct Bench
{
    explicit Bench(const QStringList &ports = {}) : available(ports)
    {
        dialog.setPortSource([this] {
            QVector<DeviceConnector::TPortDetails> result;
            for (const QString &text : available) {
                const QStringList f = text.split(QLatin1Char('|'));
                result.append({f.value(0), f.value(2), f.value(1), f.value(3), f.value(4)});
            }
            return result;
        });
    }
    QComboBox *list() const { return findWidget<QComboBox>(&dialog, "listbox_serial_port_info"); }
    QPushButton *button(const char *name) const { return findWidget<QPushButton>(&dialog, name); }
    QString label(const char *name) const { return findWidget<QLabel>(&dialog, name)->text(); }
    // The listed port names, then the four details shown, then "hint" while
    // the dialog explains an empty list.
    QStringList shown() const
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts.append(list()->itemText(i));
        for (const char *name : {"description_value", "manufacturer_value", "serialNumber_value", "location_value"})
            texts.append(label(name));
        if (!findWidget<QLabel>(&dialog, "noPorts_label")->isHidden())
            texts.append(QStringLiteral("hint"));
        return texts;
    }

    QStringList available;
    DeviceConnector dialog;
};

// Root opens a node whatever its mode; as nobody, for as long as this
// object lives, the process is held to the mode like any user.
struct AsNobody
{
    AsNobody() : dropped(::geteuid() == 0 && ::seteuid(65534) == 0) {}
    ~AsNobody()
    {
        if (dropped && ::seteuid(0) != 0)
            qFatal("cannot become root again");
    }
    const bool dropped;
};

void announceOpened(const QString &portName)
{
    ZData::DM::PortSettings settings;
    settings.portName = portName;
    SerialPort::instance().setSettings(settings);
    emit SerialPort::instance().signalOpened();
}

} // namespace

// The dialogs: the connection's, and the preset editor with the number
// fields it is built from.
class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listedPorts_data();
    void listedPorts();
    void refreshesWhileShown();
    void refreshKeepsChoice_data();
    void refreshKeepsChoice();
    void savedWithEverythingElse();
    void connectionViews();
    void applyOpensPort_data();
    void applyOpensPort();
    void refusedPortExplained_data();
    void refusedPortExplained();
    void refusesInvalid_data();
    void refusesInvalid();
    void confirmedEditReplacesProfileAtomically();
    void listEdits();
    void keysClampAndStep_data();
    void keysClampAndStep();
    void separatorsAreAlike_data();
    void separatorsAreAlike();

private:
    TestSupport::TempAppDir m_appDir;
    TestSupport::RecordingDialogs m_dialogs;
    QTranslator m_english;
};

void TestDialogs::initTestCase()
{
    QVERIFY(SettingsManager::init() && ZData::DeviceMessageManager::init() && ZData::DM::SerialPort::init());
    QVERIFY(ZData::DeviceManager::init() && ZData::CalibrationManager::instance().init() && scan().init());
    QVERIFY(scan().presetCount() > 1);
    QVERIFY(m_english.load(QStringLiteral(":/translation/dranwell_en.qm")) && QCoreApplication::installTranslator(&m_english));
}

// Only the device makers' ports are offered, matched in any case, unless
// all are asked for; the first is selected and its empty details read "N/A".
void TestDialogs::listedPorts_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("expected");
    const QStringList twoMakers{"ttyUSB0|FTDI|x|y|z", "ttyACM0|stmicroelectronics|Virtual COM|0042|/dev/ttyACM0"};
    QTest::newRow("vendor in lower case") << false << twoMakers << QStringList{"ttyACM0", "Virtual COM", "stmicroelectronics", "0042", "/dev/ttyACM0"};
    QTest::newRow("maker, empty details") << false << QStringList{"ttyACM3|TAMRIK Ltd|||", "ttyACM4|Tamrik|||"}
                                          << QStringList{"ttyACM3", "ttyACM4", "N/A", "TAMRIK Ltd", "N/A", "N/A"};
    QTest::newRow("other makers only") << false << QStringList{"ttyS1||||"} << QStringList{"N/A", "N/A", "N/A", "N/A", "hint"};
    QTest::newRow("all ports asked for") << true << twoMakers << QStringList{"ttyUSB0", "ttyACM0", "x", "FTDI", "y", "z"};
}

void TestDialogs::listedPorts()
{
    QFETCH(bool, all);
    QFETCH(QStringList, available);
    QFETCH(QStringList, expected);
    Bench bench(available);
    findWidget<QCheckBox>(&bench.dialog, "listAll_check")->setChecked(all);
    bench.dialog.slotUpdatePortsInfo();
    QCOMPARE(bench.shown(), expected);
    // Nothing to apply is exactly when the hint explains why.
    QCOMPARE(bench.button("button_apply")->isEnabled(), !expected.contains(QStringLiteral("hint")));
}

// Shown: listed at once and again every second.
void TestDialogs::refreshesWhileShown()
{
    Bench bench({QStringLiteral("ttyACM0|STMicro|||")});
    bench.dialog.show();
    QCOMPARE(bench.list()->itemText(0), QStringLiteral("ttyACM0"));
    bench.available.append(QStringLiteral("ttyACM1|STMicro|||"));
    QTRY_COMPARE(bench.list()->count(), 2);
}

// With two devices attached the user must be able to pick either: a
// refresh keeps the choice while that port is there, and a port opened
// from elsewhere (--port) is the one selected at first.
void TestDialogs::refreshKeepsChoice_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("inUse");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("selected");
    const QString acm0 = "ttyACM0|STMicro|||/dev/ttyACM0", acm1 = "ttyACM1|STMicro|||/dev/ttyACM1", acm2 = "ttyACM2|Tamrik|||/dev/ttyACM2";
    QTest::newRow("same ports") << QStringList{acm0, acm1} << 1 << "" << QStringList{acm0, acm1} << "ttyACM1";
    QTest::newRow("port added") << QStringList{acm0, acm1} << 1 << "" << QStringList{acm2, acm0, acm1} << "ttyACM1";
    QTest::newRow("chosen port gone") << QStringList{acm0, acm1} << 1 << "" << QStringList{acm2, acm0} << "ttyACM2";
    QTest::newRow("port in use") << QStringList() << -1 << "/dev/ttyACM1" << QStringList{acm0, acm1} << "ttyACM1";
}

void TestDialogs::refreshKeepsChoice()
{
    QFETCH(QStringList, before);
    QFETCH(int, chosen);
    QFETCH(QString, inUse);
    QFETCH(QStringList, after);
    QFETCH(QString, selected);
    Bench bench(before);
    if (!inUse.isEmpty())
        announceOpened(inUse);
    bench.dialog.slotUpdatePortsInfo();
    if (chosen >= 0)
        bench.list()->setCurrentIndex(chosen);
    bench.available = after;
    bench.dialog.slotUpdatePortsInfo();
    emit SerialPort::instance().signalClosed();
    QCOMPARE(bench.list()->currentText(), selected);
    QCOMPARE(bench.label("location_value"), "/dev/" + selected);
}

// Saved when the main window closes, also while the dialog is still open;
// a dialog never shown has no place of its own to keep, nor a switch the
// user could have turned.
void TestDialogs::savedWithEverythingElse()
{
    const QString key = QStringLiteral("Window.Connection/geometry");
    const QSize size(610, 410);
    for (bool show : {true, false}) {
        SettingsManager::currentSettings()->remove(key);
        {
            DeviceConnector dialog;
            if (show) {
                dialog.show();
                dialog.resize(size);
                findWidget<QCheckBox>(&dialog, "listAll_check")->setChecked(true);
            }
            SettingsManager::saveAllSettings();
        }
        QCOMPARE(SettingsManager::currentSettings()->contains(key), show);
        const DeviceConnector restored;
        QVERIFY(!show || (restored.size() == size && findWidget<QCheckBox>(&restored, "listAll_check")->isChecked()));
    }
}

// While connected the dialog names the port in use, and an unlisted one
// (the simulator's link) is no reason to ask for a cable.
void TestDialogs::connectionViews()
{
    Bench bench;
    bench.dialog.slotUpdatePortsInfo();
    const QLabel *inUse = findWidget<QLabel>(&bench.dialog, "inUse_value");
    for (bool connected : {true, false}) {
        connected ? announceOpened(QStringLiteral("/tmp/mero-sim/ttyMERO")) : emit SerialPort::instance().signalClosed();
        QCOMPARE(bench.button("btn_disconnect")->isHidden(), !connected);
        QCOMPARE(bench.button("button_apply")->isHidden(), connected);
        QCOMPARE(inUse->isHidden() ? QString() : inUse->text(), connected ? QStringLiteral("/tmp/mero-sim/ttyMERO") : QString());
        QCOMPARE(bench.shown().contains(QStringLiteral("hint")), !connected);
    }
}

// Apply opens what the field names: the chosen port, or one typed, which
// the refresh leaves alone while the list changes around it.
void TestDialogs::applyOpensPort_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opened");
    QTest::newRow("chosen") << "" << "mero-test-no-such-port";
    QTest::newRow("device name") << "ttyMERO-test-none" << "ttyMERO-test-none";
    QTest::newRow("path between blanks") << " /tmp/mero-test/none " << "/tmp/mero-test/none";
}

void TestDialogs::applyOpensPort()
{
    QFETCH(QString, typed);
    QFETCH(QString, opened);
    Bench bench({QStringLiteral("mero-test-no-such-port|Tamrik|||")});
    bench.dialog.show();
    if (!typed.isEmpty()) {
        bench.list()->clearEditText();
        QTest::keyClicks(bench.list(), typed);
    }
    bench.available.prepend(QStringLiteral("ttyACM7|STMicro|||"));
    bench.dialog.slotUpdatePortsInfo();
    QTest::mouseClick(bench.button("button_apply"), Qt::LeftButton);
    QCOMPARE(SerialPort::instance().settings().portName, opened);
    QVERIFY(!bench.dialog.isVisible() && !bench.dialog.isRefreshing());
}

// A port refused for lack of permission gets a box that names the fix,
// once for the user's Apply and not again for each reconnection step.
void TestDialogs::refusedPortExplained_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QStringList>("unsaid");
    const QString rule = "/usr/lib/udev/rules.d/70-oskiro-mero.rules", busy = "another program";
    // Usable by all, but another program holds it.
    QTest::newRow("group may use it") << 0060 << QStringList{"sudo usermod -aG dialout $USER", rule} << QStringList{busy};
    QTest::newRow("nobody may") << 0000 << QStringList{rule} << QStringList{"usermod", busy};
    QTest::newRow("held by another program") << 0666 << QStringList{busy} << QStringList{"usermod", rule};
}

void TestDialogs::refusedPortExplained()
{
    QFETCH(int, mode);
    QFETCH(QStringList, said);
    QFETCH(QStringList, unsaid);
    TestSupport::PtyPair pty;
    const QByteArray node = QFile::encodeName(pty.slaveName());
    QVERIFY(pty.isValid());
    QSerialPort holder(pty.slaveName());
    QVERIFY(mode != 0666 || holder.open(QIODevice::ReadWrite));
    const group *dialout = ::getgrnam("dialout");
    if (!dialout || ::chown(node.constData(), uid_t(-1), dialout->gr_gid) != 0)
        QSKIP("the node cannot be handed to the dialout group here");
    QVERIFY(::chmod(node.constData(), mode_t(mode)) == 0);
    const AsNobody heldToModes;
    QVERIFY(::geteuid() != 0);
    m_dialogs.clear();
    Bench bench;
    bench.dialog.show();
    QTest::keyClicks(bench.list(), pty.slaveName());
    QTest::mouseClick(bench.button("button_apply"), Qt::LeftButton);
    // A reconnection step; its box would be posted before the first one
    // is delivered.
    SerialPort::instance().open(false);
    QTRY_VERIFY(!m_dialogs.boxes().isEmpty());
    QCOMPARE(m_dialogs.boxes().size(), 1);
    QCOMPARE(m_dialogs.count(ZCore::UserDialogs::EKind::Warning), 1);
    const QString text = m_dialogs.boxes().first().text;
    for (const QString &part : said + QStringList{pty.slaveName()})
        QVERIFY2(text.contains(part), qPrintable(text));
    for (const QString &part : unsaid)
        QVERIFY2(!text.contains(part), qPrintable(text));
}

// A field of the preset on show and the text typed into it; a limit table
// takes its row's cells separated by ';'.
void TestDialogs::refusesInvalid_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("start above stop") << "le_stop_0" << "1";
    QTest::newRow("start not a number") << "le_start_1" << "9x";
    QTest::newRow("one point") << "le_points_0" << "1";
    QTest::newRow("too many points") << "le_points_1" << "1025";
    QTest::newRow("empty name") << "le_name" << "  ";
    QTest::newRow("duplicate name") << "le_name" << scan().presetAt(1).name;
    QTest::newRow("mark below start") << "le_mark2_0" << "1";
    QTest::newRow("mark not a number") << "le_mark1_1" << "abc";
    QTest::newRow("segment start above stop") << "tw_limits_0" << "915;880;-10;";
    QTest::newRow("segment without bound") << "tw_limits_1" << "880;915;;";
    QTest::newRow("segment lower above upper") << "tw_limits_0" << "880;915;-5;-10";
}

// Nothing reaches the profile or the sweep, and the user reads why.
void TestDialogs::refusesInvalid()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    const QByteArray before = userBytes();
    const QList<TScanPreset> presets = scan().presets();
    PresetEditor editor;
    if (auto *table = field<QTableWidget>(editor, qPrintable(name))) {
        table->insertRow(0);
        const QStringList cells = text.split(QLatin1Char(';'));
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(0, column, new QTableWidgetItem(cells.at(column)));
    } else {
        field(editor, qPrintable(name))->setText(text);
    }
    QVERIFY(!editor.apply());
    const auto *reason = field<QLabel>(editor, "l_reason");
    QVERIFY(!reason->isHidden() && !reason->text().isEmpty());
    QCOMPARE(userBytes(), before);
    QVERIFY(scan().presets() == presets);
    if (auto *table = field<QTableWidget>(editor, qPrintable(name))) {
        // The bad segment, the first of the table, can be taken out again.
        table->setCurrentCell(0, 0);
        for (QPushButton *button : table->parentWidget()->findChildren<QPushButton *>())
            button->text() == qtTrId("dw_preseteditor_remove_segment") ? button->click() : void();
        QCOMPARE(table->rowCount(), 0);
    }
}

// The profile is replaced whole, its other sections kept and its previous
// bytes beside it; the sweep runs on the new range at once and the old
// calibration no longer applies.
void TestDialogs::confirmedEditReplacesProfileAtomically()
{
    QSettings *user = SettingsManager::userSettings();
    user->setValue(QStringLiteral("Theme/hand_edited"), QStringLiteral("kept"));
    user->sync();
    const QByteArray before = userBytes();
    ZData::CalibrationManager &calibration = ZData::CalibrationManager::instance();
    const QString calibrationPath = m_appDir.filePath(QStringLiteral("complete.cbin"));
    QVERIFY(TestSupport::writeCompleteCalibrationFile(calibrationPath, scan().presets()));
    calibration.readCalibrationFile(calibrationPath);
    scan().setUseCalib(true);
    QVERIFY(calibration.calibrationPresetCount() > 0 && scan().useCalib());
    m_dialogs.clear();

    PresetEditor editor;
    field<QListWidget>(editor, "lw_presets")->setCurrentRow(1);
    field(editor, "le_start_0")->setText(QStringLiteral("1805,2"));
    field(editor, "le_stop_0")->setText(QStringLiteral("1880"));
    field(editor, "le_points_0")->setText(QStringLiteral("301"));
    for (const char *mark : {"le_mark1_0", "le_mark2_0", "le_mark4_0", "le_mark5_0"})
        field(editor, mark)->clear();
    field(editor, "le_mark3_0")->setText(QStringLiteral("1842.5"));
    QVERIFY(editor.apply());

    QFile backup(SettingsManager::userProfilePath() + QStringLiteral(".bak"));
    QCOMPARE(backup.open(QIODevice::ReadOnly) ? backup.readAll() : QByteArray(), before);
    QVERIFY(!QFile::exists(SettingsManager::userProfilePath() + QStringLiteral(".new")));
    QSettings written(SettingsManager::userProfilePath(), QSettings::IniFormat);
    QCOMPARE(written.value(QStringLiteral("Theme/hand_edited")).toString(), QStringLiteral("kept"));
    const QList<TScanPreset> read = ZData::PresetSettings::readScanPresets(written);
    QVERIFY(read == scan().presets());
    const ZData::TChannelPreset &edited = read.at(1).channel(0);
    QCOMPARE(edited.start.hz(), 1805.2e6);
    QCOMPARE(edited.points, 301u);
    QCOMPARE(edited.marks.size(), 3);
    QVERIFY(!edited.marks.at(0) && !edited.marks.at(1) && edited.marks.at(2) && edited.marks.at(2)->hz() == 1842.5e6);

    QVERIFY(scan().activePreset() == 1 && scan().channelRange(0).start().hz() == 1805.2e6 && scan().channelRange(0).points() == 301u);
    QVERIFY(calibration.calibrationPresetCount() == 0 && !scan().useCalib());
    QCOMPARE(m_dialogs.count(ZCore::UserDialogs::EKind::Information), 1);
    // The file measured over the old ranges is refused from now on.
    calibration.readCalibrationFile(calibrationPath);
    QCOMPARE(calibration.calibrationPresetCount(), 0);

}

// Add, duplicate, rename and delete reach the sweep's list in that order;
// a rename alone keeps the ranges and asks for no calibration.
void TestDialogs::listEdits()
{
    QStringList expected = scanNames();
    PresetEditor editor;
    auto *list = field<QListWidget>(editor, "lw_presets");
    list->setCurrentRow(0);
    field<QPushButton>(editor, "b_duplicate")->click();
    field<QPushButton>(editor, "b_add")->click();
    field(editor, "le_name")->setText(QStringLiteral("Band 20"));
    expected << expected.first() + qtTrId("dw_preseteditor_copy_suffix") << QStringLiteral("Band 20");
    list->setCurrentRow(0);
    field<QPushButton>(editor, "b_delete")->click();
    expected.removeFirst();
    QVERIFY(list->count() == expected.size() && confirm(editor));
    QCOMPARE(scanNames(), expected);

    m_dialogs.clear();
    PresetEditor renaming;
    field(renaming, "le_name")->setText(QStringLiteral("Renamed"));
    QVERIFY(renaming.apply());
    expected[scan().activePreset()] = QStringLiteral("Renamed");
    QCOMPARE(scanNames(), expected);
    QCOMPARE(m_dialogs.boxes().size(), 0);

    // A profile that cannot be replaced leaves the sweep as it was.
    const QString draft = SettingsManager::userProfilePath() + QStringLiteral(".new");
    QVERIFY(QDir().mkpath(draft));
    const QByteArray before = userBytes();
    PresetEditor failing;
    field(failing, "le_name")->setText(QStringLiteral("Not written"));
    QVERIFY(!confirm(failing) && !field<QLabel>(failing, "l_reason")->isHidden());
    QCOMPARE(scanNames(), expected);
    QCOMPARE(userBytes(), before);
    QVERIFY(QDir(draft).removeRecursively());
}

void TestDialogs::keysClampAndStep_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const int ret = Qt::Key_Return;
    const QString intMax = QString::number(std::numeric_limits<int>::max());
    QTest::newRow("double above top") << "double:0:20:1" << ret << "25" << "20.00";
    QTest::newRow("double comma truncated") << "double:0:20:1" << ret << "3,75" << "3.70";
    QTest::newRow("down clamps to bottom") << "double:0:20:1" << int(Qt::Key_Down) << "2,5" << "0.00";
    QTest::newRow("int up past int range") << "int:0:" + intMax << int(Qt::Key_Up) << QString::number(std::numeric_limits<int>::max() - 1) << intMax;
    QTest::newRow("freq edit clamps") << "freq:double:1:6200:3" << ret << "7000" << "6200.00";
    // Text that cannot be read, or no validator to read it with, is kept.
    QTest::newRow("unreadable double") << "double:0:20:1" << ret << "1.2.3" << "1.2.3";
    QTest::newRow("unreadable int step") << "int:0:100" << int(Qt::Key_Down) << "4x" << "4x";
    QTest::newRow("no validator") << "none" << ret << "25" << "25";
    QTest::newRow("freq edit with plain double, step") << "freq:plain:0:20:1" << int(Qt::Key_Down) << "25" << "25";
    // No key: text the validator rejects, set with the clamp connected twice.
    QTest::newRow("rejected input clamped once") << "double:0:20:1" << 0 << "3,75" << "3.70";
}

void TestDialogs::keysClampAndStep()
{
    QFETCH(QString, validator);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    TestSupport::LogCapture log;
    auto edit = makeEdit(validator, key ? text : QString());
    QSignalSpy returnPressed(edit.get(), &QLineEdit::returnPressed);
    if (key) {
        QTest::keyClick(edit.get(), Qt::Key(key));
    } else {
        edit->connectClamp();
        edit->connectClamp();
        edit->setText(text);
    }
    QCOMPARE(edit->text(), expected);
    // A step confirms the new value as Return would; a failed one does not.
    if (key && key != Qt::Key_Return)
        QCOMPARE(returnPressed.count(), expected == text ? 0 : 1);
}

void TestDialogs::separatorsAreAlike_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("input");
    QTest::newRow("German, point") << QLocale(QLocale::German, QLocale::Germany) << "1.5";
    QTest::newRow("C, comma") << QLocale::c() << "1,5";
    QTest::newRow("English, apostrophe") << QLocale(QLocale::English, QLocale::UnitedStates) << "1'5";
}

void TestDialogs::separatorsAreAlike()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, input);
    ZDoubleValidator validator(0, 20, 2);
    validator.setLocale(locale);
    QString text = input;
    int position = text.size();
    QCOMPARE(validator.validate(text, position), QValidator::Acceptable);
    QCOMPARE(text, input);
    QString tooMany = input + QStringLiteral("55");
    QCOMPARE(validator.validate(tooMany, position), QValidator::Invalid);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
