#pragma once

#include <QString>

namespace TestSupport {

// A pseudo-terminal pair: the application opens slaveName() as its serial
// port; the master side is held open and never answers.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slaveName() const { return m_slaveName; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
};

} // namespace TestSupport
