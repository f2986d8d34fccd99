#include "recordingdialogs.h"

#include <algorithm>
#include <memory>

namespace TestSupport {

class RecordingDialogs::Backend : public ZCore::UserDialogs::IBackend
{
public:
    explicit Backend(RecordingDialogs &owner) : m_owner(owner) {}

    bool show(ZCore::UserDialogs::EKind kind, QWidget *, const QString &title, const QString &text) override
    {
        const Box box{kind, title, text};
        m_owner.m_boxes.append(box);
        if (m_owner.m_whileShown)
            m_owner.m_whileShown(box);
        return kind == ZCore::UserDialogs::EKind::Question && m_owner.m_answer;
    }

    void exitApplication(int code) override { m_owner.m_exitCodes.append(code); }

    QString askFileName(QWidget *, const ZCore::UserDialogs::TFileQuestion &question, QString *selectedFilter) override
    {
        m_owner.m_fileQuestions.append(question);
        if (selectedFilter)
            *selectedFilter = question.selectedFilter;
        return m_owner.m_fileAnswer;
    }

private:
    RecordingDialogs &m_owner;
};

RecordingDialogs::RecordingDialogs()
{
    ZCore::UserDialogs::setBackend(std::make_unique<Backend>(*this));
}

RecordingDialogs::~RecordingDialogs()
{
    ZCore::UserDialogs::setBackend(nullptr);
}

int RecordingDialogs::count(ZCore::UserDialogs::EKind kind) const
{
    return int(std::count_if(m_boxes.cbegin(), m_boxes.cend(), [kind](const Box &box) { return box.kind == kind; }));
}

void RecordingDialogs::clear()
{
    m_whileShown = nullptr;
    m_boxes.clear();
    m_exitCodes.clear();
    m_fileQuestions.clear();
}

} // namespace TestSupport
