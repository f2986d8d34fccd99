#include "core/localizationmanager.h"

#include "logcapture.h"
#include "recordingdialogs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using ZCore::LocalizationManager;

namespace {

const char *const kBuiltInFile = ":/translation/dranwell_en.qm";

struct IdentifierText
{
    const char *id;
    const char *english;
};

// Every identifier the user interface and the log lines rely on, with the
// English text users and log readers expect to see.
const IdentifierText kDesignTexts[] = {
    { "devcon_err_cant_write_settings", "settings cannot be written" },
    { "devcon_sp_btn_apply", " Apply" },
    { "devcon_sp_btn_disconnect", " Disconnect" },
    { "devcon_sp_btn_refresh", " Refresh" },
    { "devcon_sp_description", "Description:" },
    { "devcon_sp_location", "Location:" },
    { "devcon_sp_manufacturer", "Manufacturer:" },
    { "devcon_sp_serial_number", "Serial number:" },
    { "devcon_sp_window_title", "Select serial port.." },
    { "dw_axis_title_frequency", "Frequency" },
    { "dw_chart_type_log_mag", "Log. mag." },
    { "dw_err_autoreconnect_failed", "couldn't auto-reconnect to device. Please, connect it manually later." },
    { "dw_err_calib_cant_create_calib_table", "failed to create calib table at: " },
    { "dw_err_calib_cant_create_device_dir", "failed to create dir used to store calibration files for this device at: " },
    { "dw_err_calib_cant_create_dirs", "failed to create dir used to store calibration files at: " },
    { "dw_err_calib_cant_create_file", "failed to create calib file at: " },
    { "dw_err_calib_cant_create_table_file", "failed to load calib table file at: " },
    { "dw_err_calib_no_dir", "failed to find dir used to store calibration files at: " },
    { "dw_err_cant_request_edit_user_settings", "Can't request to edit user settings from OS." },
    { "dw_err_cant_write_settings", "settings cannot be written" },
    { "dw_err_chart_type_bad", "chart type must be set" },
    { "dw_err_connected_not_mero_device", "only MERO-devices work with this software, but current device is: " },
    { "dw_err_failed_manager_init", "failed to init: " },
    { "dw_err_got_old_device_text", "Your device's firmware version isn't considered compatible with this software. Please, update your device" },
    { "dw_err_got_old_device_title", "Warning: update is required" },
    { "dw_err_last_calib_cant_open", "failed to load last used calibration for this device from path: " },
    { "dw_err_last_calib_lost", "last used calibration for this device is missing." },
    { "dw_err_logger_cant_create_dirs", "failed to create dir used to store logs at: " },
    { "dw_err_logger_cant_create_file", "failed to create log file at: " },
    { "dw_err_settings_cant_create_default", "default settings file cannot be generated at: " },
    { "dw_err_settings_cant_create_dirs", "failed to create dirs used to save profiles at: " },
    { "dw_err_settings_cant_create_files", "failed to create files used to work with user profiles" },
    { "dw_err_settings_cant_create_user", "user settings file cannot be generated at: " },
    { "dw_err_settings_cant_rewrite_current", "you were trying to rewrite 'current' preset, which is forbidden. Please, try again and choose different name of the file" },
    { "dw_err_settings_cant_rewrite_default", "you were trying to rewrite 'default' preset, which is forbidden. Please, try again and choose different name of the file" },
    { "dw_err_settings_custom_files_not_allowed", "you cannot set profile to use some custom file for writing: " },
    { "dw_err_tr_files_lost", "translation files cannot be found" },
    { "dw_err_update_files_lost", "update files are lost for this device. Please, contact support." },
    { "dw_mark_lmag", "LMg:" },
    { "dw_mark_no_data", "No data." },
    { "dw_mark_type_lmag", "Log. mag." },
    { "dw_menu_device_connect_tt", "Open device connection settings" },
    { "dw_menu_job_process_calib", "Calibrating" },
    { "dw_menu_job_process_scan", "Scanning" },
    { "dw_menu_scan_pause_tt", "Toggle scan/pause" },
    { "dw_menu_show_tt", "Toggle show/hide menu" },
    { "dw_menu_title", "Oskiro MERO" },
    { "dw_pabout_about_qt", "About Qt" },
    { "dw_pabout_appversion_title", "App version: " },
    { "dw_pabout_support_title", "Tech. support: " },
    { "dw_pmain_about", "About" },
    { "dw_pmain_settings", "Settings" },
    { "dw_pmain_update_firmware", "Device" },
    { "dw_psettings_calibrate", "Calibrate" },
    { "dw_psettings_edit_user_settings", " Edit user settings" },
    { "dw_psettings_output_power_high", "High" },
    { "dw_psettings_output_power_low", "Low" },
    { "dw_psettings_select_scan_preset", "Range preset:" },
    { "dw_psettings_select_source_power", "Source power:" },
    { "dw_psettings_use_calib", "Use calibration" },
    { "dw_psettings_warning_edit_user_settings_text", "You'll have to restart this application in order to apply changes. Would you like to continue?" },
    { "dw_psettings_warning_edit_user_settings_title", "Edit user settings notification" },
    { "dw_pupdate_actual_version", "Actual\nversion:" },
    { "dw_pupdate_btn_check", "Check for updates" },
    { "dw_pupdate_btn_update", "Update firmware" },
    { "dw_pupdate_current_version", "Current\nversion:" },
    { "dw_pupdate_id", "ID: " },
    { "dw_pupdate_new_update_text", "Would you like to update your device's firmware now?" },
    { "dw_pupdate_new_update_title", "New firmware version is available" },
    { "dw_pupdate_no_update_text", "You have the latest firmware version installed." },
    { "dw_pupdate_no_update_title", "Firmware is up-to-date" },
    { "dw_pupdate_reboot_app_text", "The device will reboot into 'application' mode. Please, click 'Ok' and wait." },
    { "dw_pupdate_reboot_app_title", "Finished updating firmware" },
    { "dw_pupdate_reboot_update_text", "The device must reboot into 'update' mode in order to proceed. Please, click 'Ok' and wait." },
    { "dw_pupdate_reboot_update_title", "Notification: firmware update" },
    { "dw_pupdate_update_failed_text", "Update process was interrupted. Please, check USB connector and try again." },
    { "dw_pupdate_update_failed_title", "Firmware update failed" },
    { "dw_pupdate_updating", "Updating.." },
    { "dw_tr_language", "English" },
    { "dw_units_db", "dB" },
    { "dw_units_dbm", "dBm" },
    { "dw_units_mhz", "MHz" },
    { "dw_window_title", "Oskiro MERO" },
    { "dw_window_title_ver", "%1 ver. %2" },
    { "util_failed_to_create", "failed to create dir [ %1 ] at: %2" },
};

LocalizationManager &manager()
{
    return LocalizationManager::instance();
}

// Identifiers referenced anywhere in the application sources: qtTrId() and
// QT_TRID_NOOP() calls in code, id attributes of strings in forms.
QSet<QString> identifiersUsedInSources(QStringList *scannedFiles)
{
    static const QRegularExpression callPattern(
        QStringLiteral("\\b(?:qtTrId|QT_TRID_NOOP)\\s*\\(\\s*\"([^\"\\\\]+)\""));
    static const QRegularExpression formPattern(QStringLiteral("<string\\b[^>]*\\bid=\"([^\"]+)\""));

    QSet<QString> ids;
    QDirIterator it(QStringLiteral(MERO_SOURCE_DIR "/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        scannedFiles->append(path);
        const QString text = QString::fromUtf8(file.readAll());
        const QRegularExpression &pattern = path.endsWith(QLatin1String(".ui")) ? formPattern : callPattern;
        auto matches = pattern.globalMatch(text);
        while (matches.hasNext())
            ids.insert(matches.next().captured(1));
    }
    return ids;
}

} // namespace

class TestLocalization : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void availableFilesAreTheBuiltInTranslation();
    void missingTranslationResourcesAreReported();

    void languageName_data();
    void languageName();
    void languageNameLeavesInstalledTranslationAlone();

    void loadingTwiceAnnouncesTwice();
    void failedLoadKeepsPathAndShowsIdentifiers();

    void designIdentifiersAreTranslated_data();
    void designIdentifiersAreTranslated();
    void identifiersUsedInSourcesAreTranslated();

private:
    TestSupport::RecordingDialogs m_dialogs;
};

void TestLocalization::initTestCase()
{
    TestSupport::LogCapture log;
    QVERIFY(LocalizationManager::init());
    QCOMPARE(log.lines(QtDebugMsg),
             QStringList(QStringLiteral("LocalizationManager >> ZCore::LocalizationManager::init..")));
    QVERIFY(log.lines(QtCriticalMsg).isEmpty());
}

void TestLocalization::availableFilesAreTheBuiltInTranslation()
{
    const QStringList expected(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(manager().availableFiles(), expected);

    // A second scan replaces the list rather than adding to it.
    QVERIFY(LocalizationManager::init());
    QCOMPARE(manager().availableFiles(), expected);
}

void TestLocalization::missingTranslationResourcesAreReported()
{
    TestSupport::LogCapture log;
    Q_CLEANUP_RESOURCE(translation);
    const bool ok = LocalizationManager::init();
    const QStringList files = manager().availableFiles();
    Q_INIT_RESOURCE(translation);

    QVERIFY(ok);
    QVERIFY(files.isEmpty());
    QCOMPARE(log.lines(QtCriticalMsg),
             QStringList(QStringLiteral("LocalizationManager >> dw_err_tr_files_lost")));

    QVERIFY(LocalizationManager::init());
    QCOMPARE(manager().availableFiles(), QStringList(QString::fromLatin1(kBuiltInFile)));
}

void TestLocalization::languageName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("built-in") << QString::fromLatin1(kBuiltInFile) << QStringLiteral("English");
    QTest::newRow("missing file") << QStringLiteral(":/translation/dranwell_xx.qm") << QString();
    // Qt's own lookup would strip "_GB" and fall back to the built-in file.
    QTest::newRow("missing regional variant") << QStringLiteral(":/translation/dranwell_en_GB.qm") << QString();
    QTest::newRow("name without suffix") << QStringLiteral(":/translation/dranwell_en") << QString();
    QTest::newRow("empty path") << QString() << QString();
    QTest::newRow("directory") << QStringLiteral(":/translation") << QString();
    QTest::newRow("not a translation") << QStringLiteral(":/styles/default.qss") << QString();
}

void TestLocalization::languageName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);

    TestSupport::LogCapture log;
    QCOMPARE(manager().languageName(path), expected);
    QCOMPARE(log.lines(), QStringList());
}

void TestLocalization::languageNameLeavesInstalledTranslationAlone()
{
    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(qtTrId("dw_units_db"), QStringLiteral("dB"));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("dranwell_en.qm"));
    QVERIFY(QFile::copy(QString::fromLatin1(kBuiltInFile), copy));
    QCOMPARE(manager().languageName(copy), QStringLiteral("English"));
    QCOMPARE(manager().languageName(dir.filePath(QStringLiteral("dranwell_de.qm"))), QString());

    QCOMPARE(manager().currentFile(), QString::fromLatin1(kBuiltInFile));
    QCOMPARE(qtTrId("dw_units_db"), QStringLiteral("dB"));
}

void TestLocalization::loadingTwiceAnnouncesTwice()
{
    QSignalSpy loaded(&manager(), &LocalizationManager::signalLoadedLang);
    TestSupport::LogCapture log;

    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(loaded.count(), 1);
    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(loaded.count(), 2);

    QCOMPARE(manager().currentFile(), QString::fromLatin1(kBuiltInFile));
    QCOMPARE(qtTrId("dw_tr_language"), QStringLiteral("English"));
    QVERIFY(log.lines(QtWarningMsg).isEmpty());
}

void TestLocalization::failedLoadKeepsPathAndShowsIdentifiers()
{
    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(qtTrId("dw_pmain_settings"), QStringLiteral("Settings"));

    QSignalSpy loaded(&manager(), &LocalizationManager::signalLoadedLang);
    TestSupport::LogCapture log;
    const QString missing = QStringLiteral(":/translation/dranwell_en_GB.qm");
    manager().loadLanguage(missing);

    QCOMPARE(loaded.count(), 0);
    QCOMPARE(log.lines(QtWarningMsg),
             QStringList(QStringLiteral("LocalizationManager >> target tr-file cannot be loaded: ") + missing));
    QCOMPARE(manager().currentFile(), QString::fromLatin1(kBuiltInFile));
    QCOMPARE(qtTrId("dw_pmain_settings"), QStringLiteral("dw_pmain_settings"));

    // A later successful load brings the texts back.
    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(qtTrId("dw_pmain_settings"), QStringLiteral("Settings"));
}

void TestLocalization::designIdentifiersAreTranslated_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("english");
    for (const IdentifierText &entry : kDesignTexts)
        QTest::newRow(entry.id) << QString::fromLatin1(entry.id) << QString::fromUtf8(entry.english);
}

void TestLocalization::designIdentifiersAreTranslated()
{
    QFETCH(QString, id);
    QFETCH(QString, english);

    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));
    QCOMPARE(qtTrId(id.toLatin1().constData()), english);
}

void TestLocalization::identifiersUsedInSourcesAreTranslated()
{
    manager().loadLanguage(QString::fromLatin1(kBuiltInFile));

    QStringList scanned;
    const QSet<QString> ids = identifiersUsedInSources(&scanned);
    QVERIFY2(!scanned.isEmpty(), MERO_SOURCE_DIR "/src holds no sources");
    // The manager's own failure line proves the scan sees real calls.
    QVERIFY(ids.contains(QStringLiteral("dw_err_tr_files_lost")));

    QStringList untranslated;
    for (const QString &id : ids) {
        if (qtTrId(id.toLatin1().constData()) == id)
            untranslated.append(id);
    }
    untranslated.sort();
    QVERIFY2(untranslated.isEmpty(),
             qPrintable(QStringLiteral("no English text for: ") + untranslated.join(QStringLiteral(", "))));
}

QTEST_GUILESS_MAIN(TestLocalization)
#include "tst_localization.moc"
