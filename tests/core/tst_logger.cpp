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

QByteArray readLogBytes()
{
    QFile file(Logger::logFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// File lines without the elapsed field, which must be "[ " + seconds with
// three decimals right-justified to nine characters + " ]".
QStringList readLogLines()
{
    static const QRegularExpression field(QStringLiteral("^\\[ [ \\d]{4}\\d\\.\\d{3} \\]"));
    QStringList lines;
    for (const QString &line : QString::fromUtf8(readLogBytes()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines << (field.match(line).hasMatch() ? line.mid(13) : QStringLiteral("<bad elapsed> ") + line);
    return lines;
}

// Something else logs while a box is open, as the event loop lets it.
struct LoggingDialogs : UserDialogs::IBackend
{
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
    void init()
    {
        m_appDir = std::make_unique<TestSupport::TempAppDir>();
        m_dialogs = std::make_unique<TestSupport::RecordingDialogs>();
    }
    void cleanup()
    {
        Logger::uninstall();
        m_dialogs.reset();
        m_appDir.reset();
    }
    void lineFormat_data();
    void lineFormat();
    void fileNameAndLinesInOrder();
    void initFailsWithoutLogsDir();

private:
    std::unique_ptr<TestSupport::TempAppDir> m_appDir;
    std::unique_ptr<TestSupport::RecordingDialogs> m_dialogs;
};

void TestLogger::lineFormat_data()
{
    QTest::addColumn<int>("writer");
    QTest::addColumn<QString>("expected"); // empty: no line
    QTest::addColumn<QString>("boxTitle"); // empty: no box
    const QString raw = QStringLiteral("Dev >> 100% done %1");
    QTest::newRow("debug dropped") << 0 << QString() << QString();
    QTest::newRow("warning") << 1 << "[  WARNING  ]: " + raw << QString();
    QTest::newRow("critical") << 2 << "[  CRITICAL ]: " + raw << "Critical error";
    QTest::newRow("fatal") << 3 << "[   FATAL   ]: " + raw << "Fatal error";
}

void TestLogger::lineFormat()
{
    QFETCH(int, writer);
    QFETCH(QString, expected);
    QFETCH(QString, boxTitle);
    QVERIFY(Logger::init());
    void (*const writers[])(const QString &, const QString &) = {ZCore::Log::debug, ZCore::Log::warning,
                                                                  ZCore::Log::critical, ZCore::Log::fatal};
    writers[writer](QStringLiteral("Dev"), QStringLiteral(">> 100% done %1"));
    QCOMPARE(readLogLines().mid(1), expected.isEmpty() ? QStringList() : QStringList{expected});
    QCOMPARE(m_dialogs->boxes().size(), boxTitle.isEmpty() ? 0 : 1);
    if (!boxTitle.isEmpty())
        QCOMPARE(m_dialogs->boxes().first().title + ": " + m_dialogs->boxes().first().text, boxTitle + ": " + expected.mid(15));
    QCOMPARE(m_dialogs->exitCodes(), writer == 3 ? QList<int>{1} : QList<int>{});
}

void TestLogger::fileNameAndLinesInOrder()
{
    QVERIFY(Logger::init());
    const QFileInfo file(Logger::logFilePath());
    QCOMPARE(file.absolutePath() + "/*." + file.suffix(), QDir(m_appDir->path()).filePath(QStringLiteral("logs/*.log")));
    // Named after the moment of the start.
    const QDateTime named = QDateTime::fromString(file.completeBaseName(), "yyyy-MM-dd_hh.mm.ss");
    QVERIFY2(named.isValid() && qAbs(named.secsTo(QDateTime::currentDateTime())) <= 2, qPrintable(file.fileName()));
    const QString russian = QStringLiteral("Значение аттенюатора S21 в -дБ");
    ZCore::Log::info(QStringLiteral("SettingsManager"), QStringLiteral(">> ") + russian);
    // What is logged while a box is open reaches the file after the box's own line.
    UserDialogs::setBackend(std::make_unique<LoggingDialogs>());
    ZCore::Log::critical(QStringLiteral("SerialPort"), QStringLiteral(">> port lost"));
    UserDialogs::setBackend(nullptr);
    QCOMPARE(readLogLines().mid(1), (QStringList{QStringLiteral("[   INFO    ]: SettingsManager >> ") + russian,
                                                 QStringLiteral("[  CRITICAL ]: SerialPort >> port lost"),
                                                 QStringLiteral("[   INFO    ]: BoxOwner >> written while the box is open")}));
    QVERIFY(readLogBytes().startsWith("[ ")); // no byte-order mark
}

void TestLogger::initFailsWithoutLogsDir()
{
    const QString logsDir = m_appDir->filePath(QStringLiteral("logs"));
    QFile blocker(logsDir);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    TestSupport::LogCapture log;
    QVERIFY(!Logger::init());
    QCOMPARE(log.lines(QtCriticalMsg).last(), "Logger >>dw_err_logger_cant_create_dirs" + logsDir);
    // Without the Logger every line stays with the handler already in force,
    // and a fatal error still ends the program.
    ZCore::Log::info(QStringLiteral("EntryPoint"), QStringLiteral(">> loading MainWindow.."));
    QVERIFY(log.contains(QStringLiteral("EntryPoint >> loading MainWindow..")));
    ZCore::Log::fatal(QStringLiteral("RangeSliced"), QStringLiteral("Points value is too high"));
    QCOMPARE(m_dialogs->exitCodes(), QList<int>{1});
}

QTEST_MAIN(TestLogger)
#include "tst_logger.moc"
