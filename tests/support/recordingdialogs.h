#pragma once

#include "core/userdialogs.h"

#include <QList>
#include <QString>

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
    const QList<Box> &boxes() const { return m_boxes; }
    int count(ZCore::UserDialogs::EKind kind) const;
    const QList<int> &exitCodes() const { return m_exitCodes; }
    void clear();

private:
    class Backend;
    friend class Backend;

    QList<Box> m_boxes;
    QList<int> m_exitCodes;
    bool m_answer = false;
};

} // namespace TestSupport
