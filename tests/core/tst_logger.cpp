#include "core/log.h"
#include "core/logger.h"
#include "core/userdialogs.h"
#include "logcapture.h"
#include "recordingdialogs.h"
#include "tempappdir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using ZCore::Log::critical;
using ZCore::Logger;
using ZCore::UserDialogs;

namespace {

struct PassOn
{
    QtMsgType type;
    QString line;
};
QList<PassOn> g_passedOn;

void recordPassOn(QtMsgType type, const QMessageLogContext &, const QString &line)
{
    g_passedOn.append({type, line});
}

const QString kFileTimeFormat = QStringLiteral("yyyy-MM-dd_hh.mm.ss");

QByteArray readLogBytes()
{
    QFile file(Logger::logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList readLogLines()
{
    return QString::fromUtf8(readLogBytes()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The file line without its elapsed-time field, which must be "[ " plus the
// seconds with three decimals right-justified to nine characters, plus " ]".
QString withoutElapsed(const QString &line)
{
    static const QRegularExpression field(QStringLiteral("^\\[ ( *\\d+\\.\\d{3}) \\]"));
    const QRegularExpressionMatch match = field.match(line);
    if (!match.hasMatch() || match.captured(1).size() != 9)
        return QStringLiteral("<bad elapsed field> ") + line;
    return line.mid(match.capturedLength());
}

// Names the log file may get when initialised soon; the window is wide so
// that a slow machine still starts inside it.
QStringList namesAroundNow(const QString &logsDir)
{
    constexpr int kWindowSeconds = 60;
    const QDateTime now = QDateTime::currentDateTime();
    QStringList paths;
    for (int second = -1; second <= kWindowSeconds; ++second)
        paths << QStringLiteral("%1/%2.log").arg(logsDir, now.addSecs(second).toString(kFileTimeFormat));
    return paths;
}

class LoggingDialogs : public UserDialogs::IBackend
{
public:
    bool show(UserDialogs::EKind, QWidget *, const QString &, const QString &) override
    {
        ZCore::Log::info(QStringLiteral("BoxOwner"), QStringLiteral(">> written while the box is open"));
        return false;
    }
    void exitApplication(int) override {}
};

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileIsNamedAfterStartAndOpensWithVersion();
    void lineFormat_data();
    void lineFormat();
    void debugIsDropped();
    void criticalWritesOneLineAndOneBox();
    void fatalShowsBoxAndExitsWithOne();
    void fatalWithoutLoggerStillExits();
    void sessionBanner();
    void utf8WithoutByteOrderMark();
    void existingFileOfSameNameIsTruncated();
    void linesWrittenWhileBoxIsOpenReachFile();
    void initFailure_data();
    void initFailure();

private:
    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
    QtMessageHandler m_platformHandler = nullptr;
};

void TestLogger::init()
{
    g_passedOn.clear();
    m_appDir = std::make_unique<TestSupport::TempAppDir>();
    m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    m_platformHandler = Logger::setPassOnHandler(recordPassOn);
}

void TestLogger::cleanup()
{
    Logger::uninstall();
    Logger::setPassOnHandler(m_platformHandler);
    m_dialogs.reset();
    m_appDir.reset();
}

void TestLogger::fileIsNamedAfterStartAndOpensWithVersion()
{
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    QVERIFY(Logger::init());
    const QDateTime after = QDateTime::currentDateTime();

    const QFileInfo file(Logger::logFilePath());
    QCOMPARE(file.absolutePath(), QDir(m_appDir->path()).filePath(QStringLiteral("logs")));
    QCOMPARE(file.suffix(), QStringLiteral("log"));
    const QDateTime named = QDateTime::fromString(file.completeBaseName(), kFileTimeFormat);
    QVERIFY2(named.isValid(), qPrintable(file.fileName()));
    QVERIFY(named >= before && named <= after);

    QCOMPARE(readLogLines().size(), 1);
    QCOMPARE(withoutElapsed(readLogLines().first()),
             QStringLiteral("[   INFO    ]: Logger >> initializing Application ver. 1.15.823.."));
    QVERIFY(Logger::isInstalled());
}

void TestLogger::lineFormat_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("info") << int(QtInfoMsg) << "EntryPoint" << ">> loading MainWindow.."
                          << "[   INFO    ]: EntryPoint >> loading MainWindow..";
    QTest::newRow("warning") << int(QtWarningMsg) << "SerialPort" << "<< user closed port"
                             << "[  WARNING  ]: SerialPort << user closed port";
    QTest::newRow("percent kept") << int(QtInfoMsg) << "DeviceManager" << ">> 100% done %1"
                                  << "[   INFO    ]: DeviceManager >> 100% done %1";
}

void TestLogger::lineFormat()
{
    QFETCH(int, type);
    QFETCH(QString, tag);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QVERIFY(Logger::init());
    g_passedOn.clear();
    if (type == QtWarningMsg)
        ZCore::Log::warning(tag, text);
    else
        ZCore::Log::info(tag, text);

    const QStringList lines = readLogLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(withoutElapsed(lines.last()), expected);
    QCOMPARE(g_passedOn.size(), 1);
    QCOMPARE(int(g_passedOn.first().type), type);
    QCOMPARE(g_passedOn.first().line, expected);
    QVERIFY(m_dialogs->boxes().isEmpty());
}

void TestLogger::debugIsDropped()
{
    QVERIFY(Logger::init());
    g_passedOn.clear();
    ZCore::Log::debug(QStringLiteral("Logger"), QStringLiteral(">> not for the file"));
    ZCore::Log::traceDebug(QStringLiteral("Logger"), QStringLiteral("ZCore::Logger::init"));
    qDebug("plain qDebug");

    QCOMPARE(readLogLines().size(), 1);
    QVERIFY(g_passedOn.isEmpty());
    QVERIFY(m_dialogs->boxes().isEmpty());
}

void TestLogger::criticalWritesOneLineAndOneBox()
{
    QVERIFY(Logger::init());
    g_passedOn.clear();
    critical(QStringLiteral("CalibrationManager"), QStringLiteral(">> calibration file is damaged"));

    const QString raw = QStringLiteral("CalibrationManager >> calibration file is damaged");
    const QString line = QStringLiteral("[  CRITICAL ]: ") + raw;
    const QStringList lines = readLogLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(withoutElapsed(lines.last()), line);
    QCOMPARE(g_passedOn.size(), 1);
    QCOMPARE(g_passedOn.first().line, line);
    QCOMPARE(m_dialogs->boxes().size(), 1);
    QCOMPARE(m_dialogs->boxes().first().kind, UserDialogs::EKind::Critical);
    QCOMPARE(m_dialogs->boxes().first().title, QStringLiteral("Critical error"));
    QCOMPARE(m_dialogs->boxes().first().text, raw);
    QVERIFY(m_dialogs->exitCodes().isEmpty());
}

void TestLogger::fatalShowsBoxAndExitsWithOne()
{
    QVERIFY(Logger::init());
    ZCore::Log::fatal(QStringLiteral("RangeSliced"), QStringLiteral("Points value is too high 2000 in preset 1."));

    const QString raw = QStringLiteral("RangeSliced Points value is too high 2000 in preset 1.");
    QCOMPARE(withoutElapsed(readLogLines().last()), QStringLiteral("[   FATAL   ]: ") + raw);
    QCOMPARE(m_dialogs->boxes().size(), 1);
    QCOMPARE(m_dialogs->boxes().first().kind, UserDialogs::EKind::Fatal);
    QCOMPARE(m_dialogs->boxes().first().title, QStringLiteral("Fatal error"));
    QCOMPARE(m_dialogs->boxes().first().text, raw);
    QCOMPARE(m_dialogs->exitCodes(), QList<int>{1});
}

void TestLogger::fatalWithoutLoggerStillExits()
{
    TestSupport::LogCapture log;
    ZCore::Log::fatal(QStringLiteral("RangeSliced"), QStringLiteral("Points value is too high"));

    QCOMPARE(log.lines(QtFatalMsg), QStringList{QStringLiteral("RangeSliced Points value is too high")});
    QVERIFY(m_dialogs->boxes().isEmpty());
    QCOMPARE(m_dialogs->exitCodes(), QList<int>{1});
}

void TestLogger::sessionBanner()
{
    QVERIFY(Logger::init());
    Logger::printSessionBanner();

    const QString rule(52, QLatin1Char('='));
    const QStringList lines = readLogLines();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(withoutElapsed(lines.at(1)), QStringLiteral("[   INFO    ]:  ") + rule);
    QCOMPARE(withoutElapsed(lines.at(2)), QStringLiteral("[   INFO    ]:                 Started new session"));
    QCOMPARE(withoutElapsed(lines.at(3)), QStringLiteral("[   INFO    ]:  ") + rule);
}

void TestLogger::utf8WithoutByteOrderMark()
{
    QVERIFY(Logger::init());
    const QString russian = QStringLiteral("Значение внешнего аттенюатора для канала S21 в -дБ");
    ZCore::Log::info(QStringLiteral("SettingsManager"), QStringLiteral(">> ") + russian);

    const QByteArray bytes = readLogBytes();
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.startsWith("[ "));
    QVERIFY(bytes.endsWith("\n"));
    QVERIFY(bytes.contains(russian.toUtf8()));
}

void TestLogger::existingFileOfSameNameIsTruncated()
{
    const QString logsDir = m_appDir->filePath(QStringLiteral("logs"));
    QVERIFY(QDir().mkpath(logsDir));
    const QStringList staleFiles = namesAroundNow(logsDir);
    for (const QString &path : staleFiles) {
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("an earlier run in the same second\n");
    }

    QVERIFY(Logger::init());
    QVERIFY2(staleFiles.contains(Logger::logFilePath()), qPrintable(Logger::logFilePath()));
    const QStringList lines = readLogLines();
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().endsWith(QStringLiteral("Logger >> initializing Application ver. 1.15.823..")));
}

void TestLogger::linesWrittenWhileBoxIsOpenReachFile()
{
    QVERIFY(Logger::init());
    UserDialogs::setBackend(std::make_unique<LoggingDialogs>());
    critical(QStringLiteral("SerialPort"), QStringLiteral(">> port lost"));
    UserDialogs::setBackend(nullptr);

    const QStringList lines = readLogLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(withoutElapsed(lines.at(1)), QStringLiteral("[  CRITICAL ]: SerialPort >> port lost"));
    QCOMPARE(withoutElapsed(lines.at(2)), QStringLiteral("[   INFO    ]: BoxOwner >> written while the box is open"));
}

void TestLogger::initFailure_data()
{
    QTest::addColumn<bool>("logsIsFile");
    QTest::addColumn<QString>("expectedStart");

    QTest::newRow("logs dir blocked") << true << "Logger >>dw_err_logger_cant_create_dirs";
    QTest::newRow("log file blocked") << false << "Logger >> dw_err_logger_cant_create_file";
}

void TestLogger::initFailure()
{
    QFETCH(bool, logsIsFile);
    QFETCH(QString, expectedStart);

    const QString logsDir = m_appDir->filePath(QStringLiteral("logs"));
    if (logsIsFile) {
        QFile blocker(logsDir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else {
        // A directory where the file should go cannot be opened for writing.
        for (const QString &path : namesAroundNow(logsDir))
            QVERIFY(QDir().mkpath(path));
    }

    TestSupport::LogCapture log;
    QVERIFY(!Logger::init());
    QVERIFY(!Logger::isInstalled());

    const QStringList criticals = log.lines(QtCriticalMsg);
    QVERIFY(!criticals.isEmpty());
    const QString expectedPath = logsIsFile ? logsDir : Logger::logFilePath();
    QCOMPARE(criticals.last(), expectedStart + expectedPath);
    QVERIFY(m_dialogs->boxes().isEmpty());

    // Without the Logger every line stays with the handler already in force.
    ZCore::Log::info(QStringLiteral("EntryPoint"), QStringLiteral(">> loading MainWindow.."));
    QVERIFY(log.contains(QStringLiteral("EntryPoint >> loading MainWindow..")));
}

QTEST_MAIN(TestLogger)
#include "tst_logger.moc"
