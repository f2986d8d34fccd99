#include "ui/dialogs/preseteditor.h"

#include "core/settingsmanager.h"
#include "core/userdialogs.h"
#include "data/calibration/calibrationmanager.h"
#include "data/scan/datascanmanager.h"
#include "ui/components/clampedlineedit.h"
#include "ui/components/zdoublevalidator.h"
#include "ui/components/zfreqlineedit.h"
#include "ui_preseteditor.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>

using ZCore::TFrequency;
using ZData::TChannelPreset;
using ZData::TScanPreset;
using Ui::Components::ClampedLineEdit;
using Ui::Components::ZDoubleValidator;
using Ui::Components::ZFreqLineEdit;

namespace {

enum ELimitColumn { START, STOP, LOWER, UPPER, COLUMNS };
constexpr int kFrequencyDecimals = 6;
// Enough for a frequency in MHz down to the hertz, without trailing zeros.
constexpr int kShownDigits = 12;
constexpr double kLevelLimitDb = 1000.0;
constexpr int kLevelDecimals = 2;

QString mhzText(const TFrequency &frequency)
{
    return QString::number(frequency.MHz(), 'g', kShownDigits);
}

// Empty text is no number; a comma, a period or an apostrophe is the
// decimal separator, as everywhere the user types a number.
std::optional<double> parseNumber(const QString &text)
{
    const ZDoubleValidator separators;
    bool ok = false;
    const double value = QLocale::c().toDouble(separators.normalized(text.trimmed(), QStringLiteral(".")), &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

// Cells are typed into the same edits as every other number of the
// program, so a letter never gets into a frequency or a level.
class LimitCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const bool frequency = index.column() == START || index.column() == STOP;
        ClampedLineEdit *edit = frequency ? new ZFreqLineEdit(parent) : new ClampedLineEdit(parent);
        if (frequency)
            edit->setValidator(new ZDoubleValidator(ZCore::kFrequencyMin.MHz(), ZCore::kFrequencyMax.MHz(),
                                                    kFrequencyDecimals, edit));
        else
            edit->setValidator(new ZDoubleValidator(-kLevelLimitDb, kLevelLimitDb, kLevelDecimals, edit));
        return edit;
    }
};

QString channelName(int channel)
{
    return TScanPreset::channelGroup(channel);
}

// A row of a limit table; none when a cell holds no usable number. An
// empty level cell is no bound.
std::optional<ZData::TR::TLimitSegment> readSegment(const QTableWidget *table, int row)
{
    const std::optional<double> start = parseNumber(cellText(table, row, START));
    const std::optional<double> stop = parseNumber(cellText(table, row, STOP));
    const QString lowerText = cellText(table, row, LOWER).trimmed();
    const QString upperText = cellText(table, row, UPPER).trimmed();
    ZData::TR::TLimitSegment segment;
    segment.lowerDb = parseNumber(lowerText);
    segment.upperDb = parseNumber(upperText);
    const bool levelsOk = (lowerText.isEmpty() || segment.lowerDb) && (upperText.isEmpty() || segment.upperDb)
                          && std::abs(segment.lowerDb.value_or(0.0)) <= kLevelLimitDb
                          && std::abs(segment.upperDb.value_or(0.0)) <= kLevelLimitDb;
    if (!start || !stop || !levelsOk)
        return std::nullopt;
    segment.startHz = *start * TFrequency::kHzPerMHz;
    segment.stopHz = *stop * TFrequency::kHzPerMHz;
    return segment;
}

// Why a read preset cannot be swept, or empty.
QString problem(const TScanPreset &preset)
{
    if (preset.name.trimmed().isEmpty())
        return qtTrId("dw_preseteditor_err_name_empty");
    for (int c = 0; c < TScanPreset::kChannelCount; ++c) {
        const TChannelPreset &channel = preset.channel(c);
        if (!(channel.start < channel.stop) || channel.start < ZCore::kFrequencyMin
            || channel.stop > ZCore::kFrequencyMax)
            return qtTrId("dw_preseteditor_err_range")
                .arg(preset.name, channelName(c), mhzText(ZCore::kFrequencyMin), mhzText(ZCore::kFrequencyMax));
        if (channel.points < PresetEditor::kMinPoints || channel.points > ZData::TScanRange::kMaxPoints)
            return qtTrId("dw_preseteditor_err_points")
                .arg(preset.name, channelName(c))
                .arg(PresetEditor::kMinPoints)
                .arg(ZData::TScanRange::kMaxPoints);
        for (int m = 0; m < channel.marks.size(); ++m) {
            const ZData::TMark &mark = channel.marks.at(m);
            if (mark && (*mark < channel.start || *mark > channel.stop))
                return qtTrId("dw_preseteditor_err_mark").arg(preset.name, channelName(c)).arg(m + 1);
        }
        for (int s = 0; s < channel.limits.size(); ++s) {
            const ZData::TR::TLimitSegment &segment = channel.limits.at(s);
            if (!(segment.startHz < segment.stopHz) || (!segment.lowerDb && !segment.upperDb)
                || (segment.lowerDb && segment.upperDb && *segment.lowerDb > *segment.upperDb))
                return qtTrId("dw_preseteditor_err_limit").arg(preset.name, channelName(c)).arg(s + 1);
        }
    }
    return QString();
}

} // namespace

PresetEditor::PresetEditor(QWidget *parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::PresetEditor>()),
      m_presets(ZData::DataScanManager::instance().presets())
{
    m_ui->setupUi(this);
    m_list = m_ui->lw_presets;
    m_name = m_ui->le_name;
    m_reason = m_ui->l_reason;
    m_delete = m_ui->b_delete;
    QPushButton *add = m_ui->b_add;
    QPushButton *duplicate = m_ui->b_duplicate;
    m_name->setMaxLength(ZData::PresetSettings::kMaxNameLength);
    for (int c = 0; c < TScanPreset::kChannelCount; ++c)
        m_ui->tw_channels->addTab(makeChannelPage(c), channelName(c));
    m_reason->hide();
    QDialogButtonBox *buttons = m_ui->bb_buttons;
    // Qt's own texts would stay English in every language the program has.
    buttons->button(QDialogButtonBox::Ok)->setText(qtTrId("dw_preseteditor_ok"));
    buttons->button(QDialogButtonBox::Apply)->setText(qtTrId("dw_preseteditor_apply"));
    buttons->button(QDialogButtonBox::Cancel)->setText(qtTrId("dw_preseteditor_cancel"));

    for (const TScanPreset &preset : m_presets)
        m_list->addItem(preset.name);

    connect(m_list, &QListWidget::currentRowChanged, this, &PresetEditor::selectRow);
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (QListWidgetItem *item = m_list->item(m_shown))
            item->setText(text);
    });
    connect(add, &QPushButton::clicked, this, [this] {
        if (!storeForm())
            return;
        TScanPreset preset = m_shown >= 0 ? m_presets.at(m_shown) : TScanPreset();
        preset.name = uniqueName(qtTrId("dw_preseteditor_new_name"));
        for (TChannelPreset &channel : preset.channels) {
            channel.marks.clear();
            channel.limits.clear();
        }
        addPreset(preset);
    });
    connect(duplicate, &QPushButton::clicked, this, [this] {
        if (m_shown < 0 || !storeForm())
            return;
        TScanPreset preset = m_presets.at(m_shown);
        preset.name = uniqueName(preset.name + qtTrId("dw_preseteditor_copy_suffix"));
        addPreset(preset);
    });
    connect(m_delete, &QPushButton::clicked, this, &PresetEditor::deletePreset);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, &PresetEditor::apply);

    const int active = ZData::DataScanManager::instance().activePreset();
    m_list->setCurrentRow(m_presets.isEmpty() ? -1 : qBound(0, active, m_presets.size() - 1));
    if (m_presets.isEmpty())
        showPreset(-1);
}

PresetEditor::~PresetEditor() = default;

QWidget *PresetEditor::makeChannelPage(int channel)
{
    auto *page = new QWidget(this);
    TChannelForm &form = m_channels[size_t(channel)];
    const QString suffix = QStringLiteral("_%1").arg(channel);
    auto frequencyEdit = [&](const QString &name) {
        auto *edit = new ZFreqLineEdit(page);
        edit->setObjectName(name + suffix);
        edit->setValidator(new ZDoubleValidator(ZCore::kFrequencyMin.MHz(), ZCore::kFrequencyMax.MHz(),
                                                kFrequencyDecimals, edit));
        return edit;
    };
    form.start = frequencyEdit(QStringLiteral("le_start"));
    form.stop = frequencyEdit(QStringLiteral("le_stop"));
    form.points = new ClampedLineEdit(page);
    form.points->setObjectName(QStringLiteral("le_points") + suffix);
    form.points->setValidator(new QIntValidator(int(kMinPoints), int(ZData::TScanRange::kMaxPoints), form.points));

    auto *marks = new QHBoxLayout;
    for (size_t m = 0; m < form.marks.size(); ++m) {
        form.marks[m] = frequencyEdit(QStringLiteral("le_mark%1").arg(m + 1));
        form.marks[m]->setPlaceholderText(QStringLiteral("M%1").arg(m + 1));
        marks->addWidget(form.marks[m]);
    }

    form.limits = new QTableWidget(0, COLUMNS, page);
    form.limits->setObjectName(QStringLiteral("tw_limits") + suffix);
    form.limits->setHorizontalHeaderLabels({qtTrId("dw_preseteditor_limit_start"), qtTrId("dw_preseteditor_limit_stop"),
                                            qtTrId("dw_preseteditor_limit_lower"),
                                            qtTrId("dw_preseteditor_limit_upper")});
    form.limits->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    form.limits->setItemDelegate(new LimitCellDelegate(form.limits));
    auto *addSegment = new QPushButton(qtTrId("dw_preseteditor_add_segment"), page);
    addSegment->setObjectName(QStringLiteral("b_add_segment") + suffix);
    auto *removeSegment = new QPushButton(qtTrId("dw_preseteditor_remove_segment"), page);
    QTableWidget *table = form.limits;
    connect(addSegment, &QPushButton::clicked, table, [table] {
        if (table->rowCount() < ZData::TR::TLimitSegment::kMaxSegments)
            table->insertRow(table->rowCount());
    });
    connect(removeSegment, &QPushButton::clicked, table, [table] {
        if (table->currentRow() >= 0)
            table->removeRow(table->currentRow());
    });
    auto *segmentButtons = new QHBoxLayout;
    segmentButtons->addWidget(addSegment);
    segmentButtons->addWidget(removeSegment);
    segmentButtons->addStretch();

    auto *range = new QHBoxLayout;
    range->addWidget(new QLabel(qtTrId("dw_preseteditor_start"), page));
    range->addWidget(form.start);
    range->addWidget(new QLabel(qtTrId("dw_preseteditor_stop"), page));
    range->addWidget(form.stop);
    range->addWidget(new QLabel(qtTrId("dw_preseteditor_points"), page));
    range->addWidget(form.points);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(range);
    layout->addWidget(new QLabel(qtTrId("dw_preseteditor_marks"), page));
    layout->addLayout(marks);
    layout->addWidget(new QLabel(qtTrId("dw_preseteditor_limits"), page));
    layout->addWidget(form.limits);
    layout->addLayout(segmentButtons);
    return page;
}

void PresetEditor::showPreset(int index)
{
    m_shown = index;
    const bool valid = index >= 0 && index < m_presets.size();
    const TScanPreset preset = valid ? m_presets.at(index) : TScanPreset();
    m_name->setEnabled(valid);
    m_delete->setEnabled(valid);
    m_name->setText(preset.name);
    for (int c = 0; c < TScanPreset::kChannelCount; ++c) {
        const TChannelPreset &channel = preset.channel(c);
        TChannelForm &form = m_channels[size_t(c)];
        form.start->setText(valid ? mhzText(channel.start) : QString());
        form.stop->setText(valid ? mhzText(channel.stop) : QString());
        form.points->setText(valid ? QString::number(channel.points) : QString());
        for (int m = 0; m < int(form.marks.size()); ++m) {
            const bool set = m < channel.marks.size() && channel.marks.at(m);
            form.marks[size_t(m)]->setText(set ? mhzText(*channel.marks.at(m)) : QString());
        }
        form.limits->setRowCount(channel.limits.size());
        for (int s = 0; s < channel.limits.size(); ++s) {
            const ZData::TR::TLimitSegment &segment = channel.limits.at(s);
            const auto level = [](const std::optional<double> &db) {
                return db ? QString::number(*db, 'g', kShownDigits) : QString();
            };
            form.limits->setItem(s, START, new QTableWidgetItem(mhzText(TFrequency(segment.startHz))));
            form.limits->setItem(s, STOP, new QTableWidgetItem(mhzText(TFrequency(segment.stopHz))));
            form.limits->setItem(s, LOWER, new QTableWidgetItem(level(segment.lowerDb)));
            form.limits->setItem(s, UPPER, new QTableWidgetItem(level(segment.upperDb)));
        }
    }
}

bool PresetEditor::storeForm()
{
    if (m_shown < 0 || m_shown >= m_presets.size())
        return true;
    TScanPreset preset(m_name->text().trimmed());
    // A reason names the preset even while its name field is empty.
    const QString shownName = preset.name.isEmpty() ? m_presets.at(m_shown).name : preset.name;
    QString reason;
    for (int c = 0; c < TScanPreset::kChannelCount && reason.isEmpty(); ++c)
        reason = readChannelForm(c, shownName, preset.channel(c));
    if (reason.isEmpty())
        reason = problem(preset);
    if (!reason.isEmpty()) {
        showReason(reason);
        return false;
    }
    m_presets[m_shown] = preset;
    m_reason->hide();
    return true;
}

QString PresetEditor::readChannelForm(int c, const QString &presetName, TChannelPreset &channel) const
{
    const TChannelForm &form = m_channels[size_t(c)];
    const std::optional<double> start = parseNumber(form.start->text());
    const std::optional<double> stop = parseNumber(form.stop->text());
    if (!start || !stop)
        return qtTrId("dw_preseteditor_err_range")
            .arg(presetName, channelName(c), mhzText(ZCore::kFrequencyMin), mhzText(ZCore::kFrequencyMax));
    channel.start = TFrequency(*start, TFrequency::kMultiplierMHz);
    channel.stop = TFrequency(*stop, TFrequency::kMultiplierMHz);
    bool pointsOk = false;
    const uint points = form.points->text().trimmed().toUInt(&pointsOk);
    channel.points = pointsOk ? points : 0;
    for (int m = 0; m < int(form.marks.size()); ++m) {
        const QString text = form.marks[size_t(m)]->text().trimmed();
        const std::optional<double> mark = parseNumber(text);
        if (!text.isEmpty() && !mark)
            return qtTrId("dw_preseteditor_err_mark").arg(presetName, channelName(c)).arg(m + 1);
        channel.marks.append(mark ? ZData::TMark(TFrequency(*mark, TFrequency::kMultiplierMHz)) : std::nullopt);
    }
    // Trailing unset marks carry nothing; the profile need not list them.
    while (!channel.marks.isEmpty() && !channel.marks.constLast())
        channel.marks.removeLast();
    for (int s = 0; s < form.limits->rowCount(); ++s) {
        const std::optional<ZData::TR::TLimitSegment> segment = readSegment(form.limits, s);
        if (!segment)
            return qtTrId("dw_preseteditor_err_limit").arg(presetName, channelName(c)).arg(s + 1);
        channel.limits.append(*segment);
    }
    return QString();
}

void PresetEditor::selectRow(int row)
{
    if (row == m_shown)
        return;
    if (!storeForm()) {
        // The edits stay on screen until they can be used or are undone.
        const QSignalBlocker blocker(m_list);
        m_list->setCurrentRow(m_shown);
        return;
    }
    showPreset(row);
}

void PresetEditor::addPreset(const TScanPreset &preset)
{
    m_presets.append(preset);
    m_list->addItem(preset.name);
    m_list->setCurrentRow(m_presets.size() - 1);
}

void PresetEditor::deletePreset()
{
    if (m_shown < 0 || m_shown >= m_presets.size())
        return;
    const int row = m_shown;
    m_presets.removeAt(row);
    // The form belonged to the deleted preset: nothing of it is stored.
    m_shown = -1;
    {
        const QSignalBlocker blocker(m_list);
        delete m_list->takeItem(row);
    }
    const int next = m_presets.isEmpty() ? -1 : qMin(row, m_presets.size() - 1);
    m_list->setCurrentRow(next);
    showPreset(next);
    m_reason->hide();
}

QString PresetEditor::uniqueName(const QString &base) const
{
    const auto taken = [this](const QString &name) {
        return std::any_of(m_presets.cbegin(), m_presets.cend(),
                           [&name](const TScanPreset &preset) { return preset.name == name; });
    };
    QString name = base;
    for (int n = 2; taken(name); ++n)
        name = QStringLiteral("%1 %2").arg(base).arg(n);
    return name;
}

void PresetEditor::showReason(const QString &reason)
{
    m_reason->setText(reason);
    m_reason->show();
}

bool PresetEditor::collect(QList<TScanPreset> &presets, QString &reason)
{
    if (!storeForm()) {
        reason = m_reason->text();
        return false;
    }
    if (m_presets.isEmpty()) {
        reason = qtTrId("dw_preseteditor_err_no_presets");
        return false;
    }
    for (int i = 0; i < m_presets.size(); ++i) {
        reason = problem(m_presets.at(i));
        for (int j = 0; reason.isEmpty() && j < i; ++j) {
            if (m_presets.at(j).name == m_presets.at(i).name)
                reason = qtTrId("dw_preseteditor_err_name_taken").arg(m_presets.at(i).name);
        }
        if (!reason.isEmpty())
            return false;
    }
    presets = m_presets;
    return true;
}

bool PresetEditor::apply()
{
    QList<TScanPreset> presets;
    QString reason;
    if (!collect(presets, reason)) {
        showReason(reason);
        return false;
    }
    ZData::CalibrationManager &calibration = ZData::CalibrationManager::instance();
    // A calibration sweeps every preset in turn; the list must not change
    // under it.
    if (calibration.isCalibrating()) {
        showReason(qtTrId("dw_preseteditor_err_calibrating"));
        return false;
    }
    if (!ZCore::SettingsManager::writeUserPresets(presets)) {
        showReason(qtTrId("dw_preseteditor_err_write").arg(ZCore::SettingsManager::userProfilePath()));
        return false;
    }
    ZData::DataScanManager &scan = ZData::DataScanManager::instance();
    const bool rangesChanged = scan.rangesDiffer(presets);
    // Data measured over the old ranges must not divide the new sweep.
    if (rangesChanged)
        calibration.removeCalibration(true);
    scan.replacePresets(presets, m_shown);
    m_reason->hide();
    emit signalApplied();
    if (rangesChanged)
        ZCore::UserDialogs::information(this, qtTrId("dw_preseteditor_recalibrate_title"),
                                        qtTrId("dw_preseteditor_recalibrate_text"));
    return true;
}
