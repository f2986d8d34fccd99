#include "ui/components/clampedlineedit.h"

#include "core/log.h"
#include "ui/components/zdoublevalidator.h"

#include <QIntValidator>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>

namespace Ui::Components {

namespace {

constexpr int kShownDecimals = 2;
constexpr double kDecimalBase = 10.0;
constexpr int kDecimalRadix = 10;
// Beyond 2^53 every double is a whole number: nothing left to truncate.
constexpr double kExactIntegerLimit = 9007199254740992.0;
// A product like 0.29 * 100 lands a hair below 29; snapping such near-whole
// products first keeps truncation from eating a digit the user typed.
constexpr double kWholeSnapTolerance = 1e-9;

const QString &dotSeparator()
{
    static const QString dot = QStringLiteral(".");
    return dot;
}

double truncateToDecimals(double value, int decimals)
{
    const double factor = std::pow(kDecimalBase, decimals);
    double scaled = value * factor;
    if (!std::isfinite(scaled) || std::fabs(scaled) >= kExactIntegerLimit)
        return value;
    const double nearest = std::round(scaled);
    if (std::fabs(scaled - nearest) < kWholeSnapTolerance * std::max(1.0, std::fabs(scaled)))
        scaled = nearest;
    return std::trunc(scaled) / factor;
}

QString shownDouble(double value)
{
    return QString::number(value, 'f', kShownDecimals);
}

} // namespace

ClampedLineEdit::ClampedLineEdit(QWidget *parent)
    : QLineEdit(parent)
{
}

QString ClampedLineEdit::tag() const
{
    return QString::fromLatin1(metaObject()->className());
}

void ClampedLineEdit::connectClamp()
{
    connect(this, &QLineEdit::inputRejected, this, &ClampedLineEdit::clampValue, Qt::UniqueConnection);
}

void ClampedLineEdit::clampValue()
{
    const QValidator *validator = currentValidator();
    if (const auto *doubleValidator = qobject_cast<const ZDoubleValidator *>(validator)) {
        clampDouble(*doubleValidator);
        return;
    }
    if (const auto *intValidator = qobject_cast<const QIntValidator *>(validator)) {
        clampInt(*intValidator);
        return;
    }
    ZCore::Log::debug(tag(), QStringLiteral(
        ">> current validator doesn't appear to be neither QIntValidator nor ZDoubleValidator"));
}

void ClampedLineEdit::clampDouble(const ZDoubleValidator &validator)
{
    bool ok = false;
    const double value = validator.normalized(text(), dotSeparator()).toDouble(&ok);
    if (!ok) {
        ZCore::Log::warning(tag(), QStringLiteral(
            ">> ZDoubleValidator was used but value cannot be casted to double type: ") + text());
        return;
    }
    double clamped = value <= validator.top() ? value : validator.top();
    clamped = clamped > validator.bottom() ? clamped : validator.bottom();
    setText(shownDouble(truncateToDecimals(clamped, validator.decimals())));
}

void ClampedLineEdit::clampInt(const QIntValidator &validator)
{
    bool ok = false;
    // Read wide, so that a stepped value just past the int range still clamps.
    const qint64 value = text().toLongLong(&ok, kDecimalRadix);
    if (!ok) {
        ZCore::Log::warning(tag(), QStringLiteral(
            ">> QIntValidator was used but value cannot be casted to int type: ") + text());
        return;
    }
    const qint64 clamped = std::max<qint64>(std::min<qint64>(value, validator.top()), validator.bottom());
    setText(QString::number(clamped));
}

void ClampedLineEdit::changeValue(bool up)
{
    const int step = up ? kStep : -kStep;
    const QValidator *validator = currentValidator();
    if (const auto *doubleValidator = qobject_cast<const ZDoubleValidator *>(validator)) {
        bool ok = false;
        const double value = doubleValidator->normalized(text(), dotSeparator()).toDouble(&ok);
        if (!ok) {
            ZCore::Log::warning(tag(), QStringLiteral(">> change value can't parse given text as double: ") + text());
            return;
        }
        setText(shownDouble(value + step));
    } else if (qobject_cast<const QIntValidator *>(validator)) {
        bool ok = false;
        const qint64 value = text().toLongLong(&ok, kDecimalRadix);
        if (!ok) {
            ZCore::Log::warning(tag(), QStringLiteral(">> change value can't parse given text as int: ") + text());
            return;
        }
        setText(QString::number(value + step));
    } else {
        ZCore::Log::debug(tag(), QStringLiteral(
            ">> current validator doesn't appear to be neither QIntValidator nor QDoubleValidator"));
        return;
    }
    clampValue();
    emit returnPressed();
}

const QValidator *ClampedLineEdit::currentValidator() const
{
    const QValidator *current = validator();
    if (!current)
        ZCore::Log::warning(tag(), QStringLiteral(">> validator is not set"));
    return current;
}

void ClampedLineEdit::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        clampValue();
        break;
    case Qt::Key_Up:
        changeValue(true);
        break;
    case Qt::Key_Down:
        changeValue(false);
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace Ui::Components
