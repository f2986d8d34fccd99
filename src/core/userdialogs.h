#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace ZCore {

// Every modal box and the fatal exit pass through here, so that tests can
// answer them and unattended runs never wait for a person.
class UserDialogs
{
public:
    enum class EKind : quint8 { Critical, Fatal, Warning, Information, Question, AboutQt };

    enum class EFileAccess : quint8 { Save, Open };

    // A file name to ask for: filters in the file dialog's form ("CSV
    // (*.csv)"), the first one offered unless another is selected.
    struct TFileQuestion
    {
        EFileAccess access = EFileAccess::Save;
        QString title;
        QString suggestedPath;
        QStringList filters;
        QString selectedFilter;
    };

    class IBackend
    {
    public:
        virtual ~IBackend() = default;
        // Returns the answer for questions (true = Yes); ignored otherwise.
        virtual bool show(EKind kind, QWidget *parent, const QString &title, const QString &text) = 0;
        virtual void exitApplication(int code) = 0;
        // The chosen file, empty when cancelled; selectedFilter (when given)
        // receives the filter chosen.
        virtual QString askFileName(QWidget *parent, const TFileQuestion &question, QString *selectedFilter);
    };

    static void critical(QWidget *parent, const QString &title, const QString &text);
    static void fatal(QWidget *parent, const QString &title, const QString &text);
    static void warning(QWidget *parent, const QString &title, const QString &text);
    static void information(QWidget *parent, const QString &title, const QString &text);
    static bool question(QWidget *parent, const QString &title, const QString &text);
    // Qt's own "About Qt" box; it has no text of ours.
    static void aboutQt(QWidget *parent, const QString &title);
    static void exitApplication(int code);
    // The caller asks before overwriting: the dialog never does.
    static QString askFileName(QWidget *parent, const TFileQuestion &question, QString *selectedFilter = nullptr);

    // Null restores the interactive backend.
    static void setBackend(std::unique_ptr<IBackend> backend);
    // Nobody at the screen: boxes are logged instead, questions answer No.
    static void setUnattended(bool unattended);
    static bool isUnattended();

    static QString tag();

private:
    static IBackend &backend();
};

} // namespace ZCore
