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
#include "recordingdialogs.h"
#include "tempappdir.h"
#include "ui/components/clampedlineedit.h"
#include "ui/components/zdoublevalidator.h"
#include "ui/components/zfreqlineedit.h"
#include "ui/dialogs/preseteditor.h"

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
#include <QtTest>

#include <limits>
#include <memory>

using Ui::Components::ClampedLineEdit;
using Ui::Components::ZDoubleValidator;
using Ui::Components::ZFreqLineEdit;
using ZCore::SettingsManager;
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

} // namespace

// The preset editor and the number fields it is built from.
class TestPresetEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
};

void TestPresetEditor::initTestCase()
{
    QVERIFY(SettingsManager::init() && ZData::DeviceMessageManager::init() && ZData::DM::SerialPort::init());
    QVERIFY(ZData::DeviceManager::init() && ZData::CalibrationManager::instance().init() && scan().init());
    QVERIFY(scan().presetCount() > 1);
}

// A field of the preset on show and the text typed into it; a limit table
// takes its row's cells separated by ';'.
void TestPresetEditor::refusesInvalid_data()
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
void TestPresetEditor::refusesInvalid()
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
}

// The profile is replaced whole, its other sections kept and its previous
// bytes beside it; the sweep runs on the new range at once and the old
// calibration no longer applies.
void TestPresetEditor::confirmedEditReplacesProfileAtomically()
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
void TestPresetEditor::listEdits()
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

void TestPresetEditor::keysClampAndStep_data()
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

void TestPresetEditor::keysClampAndStep()
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

void TestPresetEditor::separatorsAreAlike_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("input");
    QTest::newRow("German, point") << QLocale(QLocale::German, QLocale::Germany) << "1.5";
    QTest::newRow("C, comma") << QLocale::c() << "1,5";
    QTest::newRow("English, apostrophe") << QLocale(QLocale::English, QLocale::UnitedStates) << "1'5";
}

void TestPresetEditor::separatorsAreAlike()
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

QTEST_MAIN(TestPresetEditor)
#include "tst_preseteditor.moc"
