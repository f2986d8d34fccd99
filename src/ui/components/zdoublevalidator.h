#pragma once

#include <QDoubleValidator>
#include <QStringList>

namespace Ui::Components {

// Field engineers type the decimal separator their keyboard or habit gives
// them; a comma, a period and an apostrophe all mean the same here.
class ZDoubleValidator : public QDoubleValidator
{
    Q_OBJECT

public:
    ZDoubleValidator(double bottom, double top, int decimals, QObject *parent = nullptr);
    explicit ZDoubleValidator(QObject *parent = nullptr);

    State validate(QString &input, int &position) const override;
    // The text with every accepted separator replaced, in list order.
    QString normalized(const QString &text, const QString &replacement) const;

private:
    const QStringList m_separators{QStringLiteral(","), QStringLiteral("."), QStringLiteral("'")};
};

} // namespace Ui::Components
