#pragma once

#include "ui/components/clampedlineedit.h"

namespace Ui::Components {

// Frequencies are never whole-number-only: this edit works with a double
// validator and refuses any other.
class ZFreqLineEdit : public ClampedLineEdit
{
    Q_OBJECT

public:
    explicit ZFreqLineEdit(QWidget *parent = nullptr);

    const QValidator *currentValidator() const override;
};

} // namespace Ui::Components
