#pragma once

#include "core/isconfigurable.h"
#include "core/isettingsrestorable.h"
#include "core/tsingleton.h"
#include "core/tversion.h"
#include "data/server/eservercommands.h"
#include "ui/pages/mwabstractpage.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QProgressBar;
class QProgressDialog;

namespace MW_Pages {

// The device page: identity and firmware version of the connected device,
// the newest version the update server offers, and the firmware update
// itself, from the user's consent to the device back in its application.
class PgUpdate : public MWAbstractPage,
                 public ZCore::TSingleton<PgUpdate>,
                 public ZCore::ISConfigurable,
                 private ZCore::ISettingsRestorable
{
    Q_OBJECT
    friend class ZCore::TSingleton<PgUpdate>;

public:
    static constexpr int kProgressMinimum = 0;
    static constexpr int kProgressMaximum = 100;
    // Longer than the connection manager's whole reconnect budget and than
    // a chunk's reply timeout with all its resends: a course that stands
    // still this long will not go on by itself.
    static constexpr int kStallTimeoutMs = 90000;

    // Where a firmware update stands, from the user's consent to the
    // device running the new firmware. One progress dialog shows every
    // stage, so no box is left behind describing a stage that is over.
    enum class ECourse : quint8 { Idle, RebootingToBootloader, Downloading, Transferring, StartingFirmware };
    Q_ENUM(ECourse)

    ~PgUpdate() override;

    // Three dot-separated decimal numbers and nothing else (surrounding
    // blanks aside); anything looser is no version to compare with.
    static std::optional<ZCore::TVersion> parseServerVersion(const QString &text);

    // Null until the page is attached to a main window, and again once that
    // window is gone.
    QProgressDialog *progressDialog() const { return m_progress.get(); }
    bool isUpdateInProgress() const { return m_course == ECourse::Transferring; }
    ECourse course() const { return m_course; }

public slots:
    void slotDeviceStartup();
    void slotDeviceUpdateReply(const QString &actual_version);
    void slotUpdateProgress(int progress);
    void slotSignalLost();
    void slotUpdateIsRequired();
    void slotLoadedLang();

protected:
    void initPage() override;
    void initUiActions() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PgUpdate();

    void restoreSettings() override;
    void saveSettings() override;

    void createProgressDialog();
    void connectDeviceLink();
    void handleUpdateStarted();
    void handlePortClosed();
    void handleCheckPressed();
    void handleUpdatePressed();
    void handleServerFailed(ZData::EServerCommands request, ZData::EServerCommands result);
    void handleReconnectFailed();
    void handleStall();
    void setButtonsEnabled(bool enabled);
    void showServerStatus(const QString &text);

    // The question names both versions and the restart; true for Yes.
    bool askToUpdate() const;
    void startUpdate();
    void advanceCourseOnStartup();
    void enterCourse(ECourse course);
    QString stageText() const;
    void endCourse();
    void failCourse(const QString &text);
    void failTransfer();
    void finishCourse();
    // A box runs a nested event loop. Opened from inside the device link's
    // chain (a serial read, a server reply) it would hold that chain open:
    // the port emits no further readyRead before its handler returns, so a
    // device reconnecting behind the box would go unheard and be dropped.
    void showLater(const std::function<void()> &box);

    std::unique_ptr<QProgressDialog> m_progress;
    // The dialog's own bar, set directly: the dialog's setValue runs a
    // nested event loop while it is modal, inside the device link's chain.
    QProgressBar *m_progressBar = nullptr;
    ECourse m_course = ECourse::Idle;
    // Identified on the open port: what the check needs.
    bool m_deviceReady = false;
    QTimer m_stallTimer;
    // As the server sent it, for the question.
    QString m_offeredVersion;
};

} // namespace MW_Pages
