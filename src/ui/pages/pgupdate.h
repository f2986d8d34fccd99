#pragma once

#include "core/isconfigurable.h"
#include "core/isettingsrestorable.h"
#include "core/tsingleton.h"
#include "core/tversion.h"
#include "ui/pages/mwabstractpage.h"

#include <QString>

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

    ~PgUpdate() override;

    // Three dot-separated decimal numbers and nothing else (surrounding
    // blanks aside); anything looser is no version to compare with.
    static std::optional<ZCore::TVersion> parseServerVersion(const QString &text);

    // Null until the page is attached to a main window, and again once that
    // window is gone.
    QProgressDialog *progressDialog() const { return m_progress.get(); }
    bool isUpdateInProgress() const { return m_updateInProgress; }

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
    void setButtonsEnabled(bool enabled);
    // A box runs a nested event loop. Opened from inside the device link's
    // chain (a serial read, a server reply) it would hold that chain open:
    // the port emits no further readyRead before its handler returns, so a
    // device reconnecting behind the box would go unheard and be dropped.
    void showLater(const std::function<void()> &box);

    std::unique_ptr<QProgressDialog> m_progress;
    // The dialog's own bar, set directly: the dialog's setValue runs a
    // nested event loop while it is modal, inside the device link's chain.
    QProgressBar *m_progressBar = nullptr;
    bool m_updateInProgress = false;
};

} // namespace MW_Pages
