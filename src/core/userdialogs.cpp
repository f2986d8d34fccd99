#include "core/userdialogs.h"

#include "core/log.h"
#include "core/logger.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

#include <cstdlib>

namespace ZCore {

namespace {

class WidgetBackend : public UserDialogs::IBackend
{
public:
    bool show(UserDialogs::EKind kind, QWidget *parent, const QString &title, const QString &text) override
    {
        switch (kind) {
        case UserDialogs::EKind::Critical:
        case UserDialogs::EKind::Fatal:
            QMessageBox::critical(parent, title, text, QMessageBox::Ok);
            return true;
        case UserDialogs::EKind::Warning:
            QMessageBox::warning(parent, title, text, QMessageBox::Ok);
            return true;
        case UserDialogs::EKind::Information:
            QMessageBox::information(parent, title, text, QMessageBox::Ok);
            return true;
        case UserDialogs::EKind::Question:
            return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No)
                == QMessageBox::Yes;
        case UserDialogs::EKind::AboutQt:
            QMessageBox::aboutQt(parent, title);
            return true;
        }
        return false;
    }

    QString askFileName(QWidget *parent, const UserDialogs::TFileQuestion &question, QString *selectedFilter) override
    {
        const QString filters = question.filters.join(QStringLiteral(";;"));
        QString filter = question.selectedFilter;
        const QString path = question.access == UserDialogs::EFileAccess::Save
                                 ? QFileDialog::getSaveFileName(parent, question.title, question.suggestedPath, filters,
                                                                &filter, QFileDialog::DontConfirmOverwrite)
                                 : QFileDialog::getOpenFileName(parent, question.title, question.suggestedPath, filters,
                                                                &filter);
        if (selectedFilter)
            *selectedFilter = filter;
        return path;
    }

    void exitApplication(int code) override
    {
        QCoreApplication::exit(code);
        // A fatal condition must not let the caller carry on with bad data;
        // the log is flushed per line, so nothing written is lost here.
        std::_Exit(code);
    }
};

class UnattendedBackend : public UserDialogs::IBackend
{
public:
    // Nobody will read a box, so the log keeps what it would have said and
    // every question takes the cautious answer.
    bool show(UserDialogs::EKind kind, QWidget *, const QString &title, const QString &text) override
    {
        const bool isQuestion = kind == UserDialogs::EKind::Question;
        Log::info(UserDialogs::tag(),
                  QStringLiteral(">> box not shown (unattended): [ %1 ] %2%3")
                      .arg(title, text, isQuestion ? QStringLiteral(" => No") : QString()));
        return false;
    }

    void exitApplication(int code) override { m_interactive.exitApplication(code); }

    QString askFileName(QWidget *, const UserDialogs::TFileQuestion &question, QString *) override
    {
        Log::info(UserDialogs::tag(),
                  QStringLiteral(">> file dialog not shown (unattended): [ %1 ] => none").arg(question.title));
        return QString();
    }

private:
    WidgetBackend m_interactive;
};

std::unique_ptr<UserDialogs::IBackend> &customBackend()
{
    static std::unique_ptr<UserDialogs::IBackend> backend;
    return backend;
}

bool &unattendedFlag()
{
    static bool unattended = false;
    return unattended;
}

} // namespace

UserDialogs::IBackend &UserDialogs::backend()
{
    if (customBackend())
        return *customBackend();
    if (unattendedFlag()) {
        static UnattendedBackend unattended;
        return unattended;
    }
    static WidgetBackend interactive;
    return interactive;
}

void UserDialogs::critical(QWidget *parent, const QString &title, const QString &text)
{
    backend().show(EKind::Critical, parent, title, text);
}

void UserDialogs::fatal(QWidget *parent, const QString &title, const QString &text)
{
    backend().show(EKind::Fatal, parent, title, text);
}

void UserDialogs::warning(QWidget *parent, const QString &title, const QString &text)
{
    backend().show(EKind::Warning, parent, title, text);
}

void UserDialogs::information(QWidget *parent, const QString &title, const QString &text)
{
    backend().show(EKind::Information, parent, title, text);
}

bool UserDialogs::question(QWidget *parent, const QString &title, const QString &text)
{
    return backend().show(EKind::Question, parent, title, text);
}

void UserDialogs::aboutQt(QWidget *parent, const QString &title)
{
    backend().show(EKind::AboutQt, parent, title, QString());
}

void UserDialogs::exitApplication(int code)
{
    Logger::flush();
    backend().exitApplication(code);
}

QString UserDialogs::askFileName(QWidget *parent, const TFileQuestion &question, QString *selectedFilter)
{
    return backend().askFileName(parent, question, selectedFilter);
}

QString UserDialogs::IBackend::askFileName(QWidget *, const TFileQuestion &, QString *)
{
    return QString();
}

void UserDialogs::setBackend(std::unique_ptr<IBackend> backend)
{
    customBackend() = std::move(backend);
}

void UserDialogs::setUnattended(bool unattended)
{
    unattendedFlag() = unattended;
}

bool UserDialogs::isUnattended()
{
    return unattendedFlag();
}

QString UserDialogs::tag()
{
    static const QString tagText = QStringLiteral("UserDialogs");
    return tagText;
}

} // namespace ZCore
