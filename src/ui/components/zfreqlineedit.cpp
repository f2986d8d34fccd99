#include "ui/components/zfreqlineedit.h"

#include "core/log.h"

#include <QDoubleValidator>

namespace Ui::Components {

ZFreqLineEdit::ZFreqLineEdit(QWidget *parent)
    : ClampedLineEdit(parent)
{
}

const QValidator *ZFreqLineEdit::currentValidator() const
{
    const auto *current = qobject_cast<const QDoubleValidator *>(validator());
    if (!current)
        ZCore::Log::warning(tag(), QStringLiteral(">> QDoubleValidator is not set"));
    return current;
}

} // namespace Ui::Components
