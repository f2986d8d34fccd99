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

using ZCore::Logger;
using ZCore::UserDialogs;

namespace {

QStringList g_passedOn;

void recordPassOn(QtMsgType, const QMessageLogContext &, const QString &line)
{
    g_passedOn << line;
}

QByteArray readLogBytes()
{
    QFile file(Logger::logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// File lines without the elapsed field, which must be "[ " + seconds with
// three decimals right-justified to nine characters + " ]".
QStringList readLogLines()
{
    static const QRegularExpression field(QStringLiteral("^\\[ ( *\\d+\\.\\d{3}) \\]"));
    QStringList lines;
    for (const QString &line : QString::fromUtf8(readLogBytes()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = field.match(line);
        lines << (match.hasMatch() && match.capturedLength(1) == 9 ? line.mid(match.capturedLength())
                                                                     : QStringLiteral("<bad elapsed> ") + line);
    }
    return lines;
}

// Every name the log file may get when initialised within the next minute.
QStringList namesAroundNow(const QString &logsDir)
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList paths;
    for (int second = -1; second <= 60; ++second)
        paths << QStringLiteral("%1/%2.log").arg(logsDir, now.addSecs(second).toString("yyyy-MM-dd_hh.mm.ss"));
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

const QString kFirstLine = QStringLiteral("[   INFO    ]: Logger >> initializing Application ver. 1.15.823..");

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileIsNamedAfterStart();
    void lineFormat_data();
    void lineFormat();
    void fatalWithoutLoggerStillExits();
    void sessionBannerAndUtf8();
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

void TestLogger::fileIsNamedAfterStart()
{
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    QVERIFY(Logger::init());
    const QFileInfo file(Logger::logFilePath());
    QCOMPARE(file.absolutePath(), QDir(m_appDir->path()).filePath(QStringLiteral("logs")));
    QCOMPARE(file.suffix(), QStringLiteral("log"));
    const QDateTime named = QDateTime::fromString(file.completeBaseName(), "yyyy-MM-dd_hh.mm.ss");
    QVERIFY2(named >= before && named <= QDateTime::currentDateTime(), qPrintable(file.fileName()));
    QCOMPARE(readLogLines(), QStringList{kFirstLine});
}

void TestLogger::lineFormat_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected"); // empty: the line goes nowhere
    QTest::addColumn<QString>("boxTitle"); // empty: no box
    QTest::addColumn<QList<int>>("exits");

    const QString raw = QStringLiteral("Dev >> 100% done %1");
    QTest::newRow("info") << int(QtInfoMsg) << "[   INFO    ]: " + raw << QString() << QList<int>{};
    QTest::newRow("warning") << int(QtWarningMsg) << "[  WARNING  ]: " + raw << QString() << QList<int>{};
    QTest::newRow("debug dropped") << int(QtDebugMsg) << QString() << QString() << QList<int>{};
    QTest::newRow("critical") << int(QtCriticalMsg) << "[  CRITICAL ]: " + raw << "Critical error" << QList<int>{};
    QTest::newRow("fatal") << int(QtFatalMsg) << "[   FATAL   ]: " + raw << "Fatal error" << QList<int>{1};
}

void TestLogger::lineFormat()
{
    QFETCH(int, type);
    QFETCH(QString, expected);
    QFETCH(QString, boxTitle);
    QFETCH(QList<int>, exits);

    QVERIFY(Logger::init());
    g_passedOn.clear();
    const QString tag = QStringLiteral("Dev"), text = QStringLiteral(">> 100% done %1");
    switch (type) {
    case QtInfoMsg: ZCore::Log::info(tag, text); break;
    case QtWarningMsg: ZCore::Log::warning(tag, text); break;
    case QtDebugMsg: ZCore::Log::debug(tag, text); break;
    case QtCriticalMsg: ZCore::Log::critical(tag, text); break;
    default: ZCore::Log::fatal(tag, text); break;
    }

    const QStringList expectedLines = expected.isEmpty() ? QStringList() : QStringList{expected};
    QCOMPARE(readLogLines().mid(1), expectedLines);
    QCOMPARE(g_passedOn, expectedLines);
    QCOMPARE(m_dialogs->boxes().size(), boxTitle.isEmpty() ? 0 : 1);
    if (!boxTitle.isEmpty()) {
        QCOMPARE(m_dialogs->boxes().first().title, boxTitle);
        QCOMPARE(m_dialogs->boxes().first().text, QStringLiteral("Dev >> 100% done %1"));
    }
    QCOMPARE(m_dialogs->exitCodes(), exits);
}

void TestLogger::fatalWithoutLoggerStillExits()
{
    TestSupport::LogCapture log;
    ZCore::Log::fatal(QStringLiteral("RangeSliced"), QStringLiteral("Points value is too high"));
    QCOMPARE(log.lines(QtFatalMsg), QStringList{QStringLiteral("RangeSliced Points value is too high")});
    QCOMPARE(m_dialogs->exitCodes(), QList<int>{1});
}

void TestLogger::sessionBannerAndUtf8()
{
    QVERIFY(Logger::init());
    Logger::printSessionBanner();
    const QString russian = QStringLiteral("Значение аттенюатора S21 в -дБ");
    ZCore::Log::info(QStringLiteral("SettingsManager"), QStringLiteral(">> ") + russian);

    const QString rule = QStringLiteral("[   INFO    ]:  ") + QString(52, QLatin1Char('='));
    QCOMPARE(readLogLines().mid(1),
             (QStringList{rule, QStringLiteral("[   INFO    ]:                 Started new session"), rule,
                          QStringLiteral("[   INFO    ]: SettingsManager >> ") + russian}));
    QVERIFY(readLogBytes().startsWith("[ ")); // no byte-order mark
}

void TestLogger::linesWrittenWhileBoxIsOpenReachFile()
{
    QVERIFY(Logger::init());
    UserDialogs::setBackend(std::make_unique<LoggingDialogs>());
    ZCore::Log::critical(QStringLiteral("SerialPort"), QStringLiteral(">> port lost"));
    UserDialogs::setBackend(nullptr);

    QCOMPARE(readLogLines().mid(1), (QStringList{QStringLiteral("[  CRITICAL ]: SerialPort >> port lost"),
                                                 QStringLiteral("[   INFO    ]: BoxOwner >> written while the box is open")}));
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
    QCOMPARE(criticals.last(), expectedStart + (logsIsFile ? logsDir : Logger::logFilePath()));
    QVERIFY(m_dialogs->boxes().isEmpty());

    // Without the Logger every line stays with the handler already in force.
    ZCore::Log::info(QStringLiteral("EntryPoint"), QStringLiteral(">> loading MainWindow.."));
    QVERIFY(log.contains(QStringLiteral("EntryPoint >> loading MainWindow..")));
}

QTEST_MAIN(TestLogger)
#include "tst_logger.moc"
