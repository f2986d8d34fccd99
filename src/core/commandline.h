#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace ZCore {

// The options the application understands. Each option is one field of
// Options, one QCommandLineOption member registered in the constructor and
// one line in readOptions(); nothing else changes when one is added.
class CommandLine
{
public:
    enum class EOutcome : quint8 { Run, ShowHelp, ShowVersion, Error };

    static constexpr int kExitSuccess = 0;
    static constexpr int kExitUsageError = 1;
    // Scripts running a measurement tell its failed verdict (1) apart from
    // a run that could not measure at all.
    static constexpr int kExitMeasureUsageError = 2;
    static constexpr int kDefaultTimeoutSeconds = 60;
    // Keeps the time in milliseconds inside an int; a day is plenty.
    static constexpr int kMaxTimeoutSeconds = 86400;
    static constexpr int kMaxSweeps = 100000;

    struct Options
    {
        QString dataDir;
        bool unattended = false;
        // Scripted checks end the run on their own; negative: run until closed.
        int quitAfterMs = -1;
        // Opened after start-up as the connector dialog's Apply would.
        QString portName;
        // Replaces the update server's built-in base URL.
        QString updateUrl;
        // Runs the bundled device simulator and connects to it.
        bool simulate = false;
        // Where to save a picture of the window after a full sweep.
        QString screenshotPath;

        // Measures without a window and ends with the verdict.
        bool measure = false;
        // 1-based, as the preset list shows them.
        int presetNumber = 1;
        bool highPower = false;
        bool calibrated = false;
        int sweeps = 1;
        int timeoutSeconds = kDefaultTimeoutSeconds;
        // Written in this order; the format follows from the suffix.
        QStringList exports;
    };


    CommandLine();

    // Needs only the application name and version, not the application object.
    static void setApplicationIdentity();

    // The arguments as the platform passed them, decoded as
    // QCoreApplication::arguments() would, for a parse before any
    // application object exists.
    static QStringList rawArguments(int argc, char *argv[]);

    // The arguments as QCoreApplication::arguments() gives them, program first.
    EOutcome parse(const QStringList &arguments);
    // Whether the outcome of the last parse is final before any window
    // exists, so that it reaches a terminal without a display too.
    bool isFinalWithoutWindow(EOutcome outcome) const;
    const Options &options() const { return m_options; }
    // Puts the options into force that must hold before any manager starts.
    void apply() const;

    QString helpText() const;
    QString versionText() const;
    QString errorText() const { return m_error; }
    // What to print and where for an outcome other than Run, and the exit code.
    QString outcomeText(EOutcome outcome) const;
    int exitCode(EOutcome outcome) const;
    // The suffixes --export understands, lower case with the dot.
    static QStringList exportSuffixes();

private:
    bool readOptions();
    bool readMeasureOptions();
    bool readCount(const QCommandLineOption &option, int maximum, int *value);

    QCommandLineParser m_parser;
    QCommandLineOption m_helpOption;
    QCommandLineOption m_versionOption;
    QCommandLineOption m_dataDirOption;
    QCommandLineOption m_unattendedOption;
    QCommandLineOption m_quitAfterOption;
    QCommandLineOption m_portOption;
    QCommandLineOption m_updateUrlOption;
    QCommandLineOption m_simulateOption;
    QCommandLineOption m_screenshotOption;
    QCommandLineOption m_measureOption;
    QCommandLineOption m_presetOption;
    QCommandLineOption m_powerOption;
    QCommandLineOption m_calibratedOption;
    QCommandLineOption m_sweepsOption;
    QCommandLineOption m_timeoutOption;
    QCommandLineOption m_exportOption;
    Options m_options;
    QString m_error;
    // Seen in the arguments even when they do not parse: a measurement's
    // mistakes are final before any window and end with its own status.
    bool m_measureRequested = false;
};

} // namespace ZCore
