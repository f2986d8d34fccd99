#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ChartScaleDialog;
}

// Typed values for one chart: the reference level at the top of the level
// axis and its dB per division, any value within reach rather than only
// the 1-2-5 steps, and the drop of the bandwidth readout. The caller
// opens it without waiting and takes values() when it is accepted.
class ChartScaleDialog : public QDialog
{
    Q_OBJECT

public:
    struct TValues
    {
        double referenceDb = 0.0;
        double dbPerDivision = 0.0;
        double dropDb = 0.0;
    };

    // Beyond this no level the device or a calibration gives reaches.
    static constexpr double kReferenceLimitDb = 300.0;

    // levelUnits: what the level axis shows ("dBm" or "dB").
    ChartScaleDialog(const TValues &values, const QString &levelUnits, QWidget *parent = nullptr);
    ~ChartScaleDialog() override;

    TValues values() const;
    void setValues(const TValues &values);

private:
    std::unique_ptr<Ui::ChartScaleDialog> m_ui;
};
