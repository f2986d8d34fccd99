#include "ui/windowexport.h"

#include "chart/viewtraces.h"
#include "chart/zchartview.h"
#include "core/log.h"
#include "core/userdialogs.h"
#include "data/device/devicemanager.h"
#include "data/scan/datascanmanager.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <array>

namespace TR = ZData::TR;
using TR::SweepExport::EFormat;

namespace {

const char *const kSuggestedName = "mero_%1";
const char *const kSuggestedDate = "yyyyMMdd_HHmmss";

struct TFilter
{
    EFormat format;
    const char *id;
};
constexpr std::array<TFilter, 3> kFilters = {{{EFormat::CSV, "dw_export_filter_csv"},
                                              {EFormat::TOUCHSTONE, "dw_export_filter_touchstone"},
                                              {EFormat::PICTURE, "dw_export_filter_png"}}};

} // namespace

WindowExport::WindowExport(MainWindow *window)
    : QObject(window)
    , m_window(window)
    , m_exportAction(new QAction(window))
    , m_copyAction(new QAction(window))
{
    m_exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_copyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    for (QAction *action : {m_exportAction, m_copyAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
    }
    connect(m_exportAction, &QAction::triggered, this, [this] { exportSweep(); });
    connect(m_copyAction, &QAction::triggered, this, [this] { copyPicture(); });
    retranslate();
}

QString WindowExport::tag()
{
    static const QString tagText = QStringLiteral("WindowExport");
    return tagText;
}

void WindowExport::retranslate()
{
    m_exportAction->setText(qtTrId("dw_export"));
    m_copyAction->setText(qtTrId("dw_export_copy_window"));
}

bool WindowExport::exportSweep(QWidget *pictureSource)
{
    const QString path = askPath();
    return !path.isEmpty() && exportTo(path, pictureSource);
}

QString WindowExport::askPath()
{
    if (m_lastDir.isEmpty()) {
        // Not the working directory, which is where the program lies when
        // started from a menu.
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        m_lastDir = QDir(documents).exists() ? documents : QDir::homePath();
    }
    ZCore::UserDialogs::TFileQuestion question;
    question.title = qtTrId("dw_export_title");
    question.suggestedPath =
        QDir(m_lastDir).filePath(QString::fromLatin1(kSuggestedName)
                                     .arg(QDateTime::currentDateTime().toString(QLatin1String(kSuggestedDate))));
    for (const TFilter &filter : kFilters)
        question.filters << qtTrId(filter.id);
    question.selectedFilter = question.filters.first();
    QString selected;
    QString path = ZCore::UserDialogs::askFileName(m_window, question, &selected);
    if (path.isEmpty())
        return path;
    // A name typed without one of the suffixes ("site 1.2") takes that of
    // the filter chosen.
    if (TR::SweepExport::formatOf(path) == EFormat::UNKNOWN) {
        const int index = std::max(0, int(question.filters.indexOf(selected)));
        path += TR::SweepExport::suffix(kFilters[size_t(index)].format);
    }
    m_lastDir = QFileInfo(path).absolutePath();
    return path;
}

bool WindowExport::exportTo(const QString &path, QWidget *pictureSource)
{
    const ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    TR::SweepExport::TChannelTraces live;
    for (int channel = 0; channel < ZData::kScanChannelCount; ++channel)
        live[size_t(channel)] = TR::channelTrace(scan, channel);
    if (!mayReplace(TR::SweepExport::outputPaths(path, live))) {
        ZCore::Log::info(tag(), QStringLiteral("<< kept %1: not replaced").arg(path));
        return false;
    }
    QString error;
    bool written = false;
    if (TR::SweepExport::formatOf(path) == EFormat::PICTURE) {
        QWidget *source = pictureSource ? pictureSource : m_window;
        written = TR::SweepExport::writePicture(path, source->grab().toImage(), &error);
    } else {
        const TR::TTraceInfo info = TR::TTraceInfo::ofSweep(ZData::DeviceManager::instance().deviceInfo(), scan,
                                                            QDateTime::currentDateTimeUtc());
        written = TR::SweepExport::writeTraces(path, info, live, shownReferences(), &error);
    }
    if (!written) {
        reportFailure(error);
        return false;
    }
    ZCore::Log::info(tag(), QStringLiteral("<< exported %1").arg(path));
    return true;
}

void WindowExport::copyPicture(QWidget *source)
{
    QApplication::clipboard()->setImage((source ? source : m_window)->grab().toImage());
    ZCore::Log::info(tag(), QStringLiteral("<< copied a picture of %1 to the clipboard")
                                .arg(source ? source->objectName() : QStringLiteral("the window")));
}

TR::SweepExport::TReferences WindowExport::shownReferences() const
{
    TR::SweepExport::TReferences references;
    for (const ZChart::ZChartView *view : m_window->chartViews()) {
        const int channel = view->channel();
        if (!view->isActive() || channel >= ZData::kScanChannelCount || references[size_t(channel)])
            continue;
        if (view->traces()->hasReference())
            references[size_t(channel)] = view->traces()->reference();
    }
    return references;
}

bool WindowExport::mayReplace(const QStringList &paths) const
{
    QStringList existing;
    for (const QString &path : paths) {
        if (QFileInfo::exists(path))
            existing << QDir::toNativeSeparators(path);
    }
    return existing.isEmpty()
           || ZCore::UserDialogs::question(m_window, qtTrId("dw_export_title"),
                                           qtTrId("dw_export_replace").arg(existing.join(QLatin1Char('\n'))));
}

void WindowExport::reportFailure(const QString &error) const
{
    // The writer has logged the reason already.
    ZCore::UserDialogs::warning(m_window, qtTrId("dw_export_title"), qtTrId("dw_export_failed").arg(error));
}
