#include "ui/dialogs/chartscaledialog.h"

#include "chart/tmarkstate.h"
#include "chart/viewscale.h"

#include "ui_chartscaledialog.h"

ChartScaleDialog::ChartScaleDialog(const TValues &values, const QString &levelUnits, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ChartScaleDialog>())
{
    m_ui->setupUi(this);
    const QString suffix = QLatin1Char(' ') + levelUnits;
    m_ui->sb_reference->setRange(-kReferenceLimitDb, kReferenceLimitDb);
    m_ui->sb_reference->setSuffix(suffix);
    m_ui->sb_step->setRange(ZChart::ViewScale::kMinDbPerDivision, ZChart::ViewScale::kMaxDbPerDivision);
    m_ui->sb_step->setSuffix(QLatin1Char(' ') + qtTrId("dw_units_db"));
    m_ui->sb_drop->setRange(ZChart::TMarkState::kMinDropDb, ZChart::TMarkState::kMaxDropDb);
    m_ui->sb_drop->setSuffix(QLatin1Char(' ') + qtTrId("dw_units_db"));
    connect(m_ui->bb_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->bb_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setValues(values);
}

ChartScaleDialog::~ChartScaleDialog() = default;

ChartScaleDialog::TValues ChartScaleDialog::values() const
{
    return {m_ui->sb_reference->value(), m_ui->sb_step->value(), m_ui->sb_drop->value()};
}

void ChartScaleDialog::setValues(const TValues &values)
{
    m_ui->sb_reference->setValue(values.referenceDb);
    m_ui->sb_step->setValue(values.dbPerDivision);
    m_ui->sb_drop->setValue(values.dropDb);
}
