#pragma once

#include "core/userdialogs.h"

#include <QList>
#include <QString>

#include <functional>

namespace TestSupport {

// Replaces every modal box and the fatal exit for the lifetime of the object:
// boxes are recorded, questions get the preset answer, exits are recorded
// and return instead of ending the run.
class RecordingDialogs
{
public:
    struct Box
    {
        ZCore::UserDialogs::EKind kind;
        QString title;
        QString text;
    };

    RecordingDialogs();
    ~RecordingDialogs();
    RecordingDialogs(const RecordingDialogs &) = delete;
    RecordingDialogs &operator=(const RecordingDialogs &) = delete;

    void setQuestionAnswer(bool yes) { m_answer = yes; }
    // What every file dialog returns: a path, or empty for cancelled.
    void setFileAnswer(const QString &path) { m_fileAnswer = path; }
    const QList<ZCore::UserDialogs::TFileQuestion> &fileQuestions() const { return m_fileQuestions; }
    // Runs while a box is up, as a person would take their time to read
    // it; the event loop may run meanwhile. Null: answered at once.
    void setWhileShown(std::function<void(const Box &)> action) { m_whileShown = std::move(action); }
    const QList<Box> &boxes() const { return m_boxes; }
    int count(ZCore::UserDialogs::EKind kind) const;
    const QList<int> &exitCodes() const { return m_exitCodes; }
    void clear();

private:
    class Backend;
    friend class Backend;

    QList<Box> m_boxes;
    QList<int> m_exitCodes;
    QList<ZCore::UserDialogs::TFileQuestion> m_fileQuestions;
    QString m_fileAnswer;
    bool m_answer = false;
    std::function<void(const Box &)> m_whileShown;
};

} // namespace TestSupport
