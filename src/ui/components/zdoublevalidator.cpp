#include "ui/components/zdoublevalidator.h"

namespace Ui::Components {

ZDoubleValidator::ZDoubleValidator(double bottom, double top, int decimals, QObject *parent)
    : QDoubleValidator(bottom, top, decimals, parent)
{
}

ZDoubleValidator::ZDoubleValidator(QObject *parent)
    : QDoubleValidator(parent)
{
}

QValidator::State ZDoubleValidator::validate(QString &input, int &position) const
{
    QString copy = normalized(input, QString(locale().decimalPoint()));
    return QDoubleValidator::validate(copy, position);
}

QString ZDoubleValidator::normalized(const QString &text, const QString &replacement) const
{
    QString result = text;
    for (const QString &separator : m_separators)
        result.replace(separator, replacement);
    return result;
}

} // namespace Ui::Components
