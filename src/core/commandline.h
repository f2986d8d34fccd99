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
    };

    static constexpr int kExitSuccess = 0;
    static constexpr int kExitUsageError = 1;

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
    static int exitCode(EOutcome outcome);

private:
    bool readOptions();

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
    Options m_options;
    QString m_error;
};

} // namespace ZCore
