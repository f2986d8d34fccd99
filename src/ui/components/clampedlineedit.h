#pragma once

#include "core/itaggable.h"

#include <QLineEdit>

class QIntValidator;
class QValidator;

namespace Ui::Components {

class ZDoubleValidator;

// A numeric line edit that keeps its number inside the range of the validator
// set on it (QIntValidator or ZDoubleValidator): Return or Enter clamps the
// text, Up and Down step it by kStep, clamp it and announce it as entered.
class ClampedLineEdit : public QLineEdit, public ZCore::ITaggable
{
    Q_OBJECT

public:
    static constexpr int kStep = 5;

    explicit ClampedLineEdit(QWidget *parent = nullptr);

    // The class name of the most derived type, namespace included.
    QString tag() const override;

    // Opt-in: a keystroke the validator rejects also clamps the text.
    virtual void connectClamp();
    virtual void clampValue();
    virtual void changeValue(bool up);
    virtual const QValidator *currentValidator() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void clampDouble(const ZDoubleValidator &validator);
    void clampInt(const QIntValidator &validator);
};

} // namespace Ui::Components
