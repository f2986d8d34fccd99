#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {

// A pseudo-terminal pair: the application opens slaveName() as its serial
// port, the test plays the device on the master side.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slaveName() const { return m_slaveName; }
    bool write(const QByteArray &bytes);
    // Reads until at least count bytes arrived or timeoutMs passed, while
    // the event loop runs.
    QByteArray readAtLeast(int count, int timeoutMs);
    // Closing the master makes the slave side fail like an unplugged device.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
};

} // namespace TestSupport
