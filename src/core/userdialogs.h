#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace ZCore {

// Every modal box and the fatal exit pass through here, so that tests can
// answer them and unattended runs never wait for a person.
class UserDialogs
{
public:
    enum class EKind : quint8 { Critical, Fatal, Warning, Information, Question, AboutQt };

    class IBackend
    {
    public:
        virtual ~IBackend() = default;
        // Returns the answer for questions (true = Yes); ignored otherwise.
        virtual bool show(EKind kind, QWidget *parent, const QString &title, const QString &text) = 0;
        virtual void exitApplication(int code) = 0;
    };

    static void critical(QWidget *parent, const QString &title, const QString &text);
    static void fatal(QWidget *parent, const QString &title, const QString &text);
    static void warning(QWidget *parent, const QString &title, const QString &text);
    static void information(QWidget *parent, const QString &title, const QString &text);
    static bool question(QWidget *parent, const QString &title, const QString &text);
    // Qt's own "About Qt" box; it has no text of ours.
    static void aboutQt(QWidget *parent, const QString &title);
    static void exitApplication(int code);

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
