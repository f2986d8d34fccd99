#pragma once

#include "core/tsingleton.h"
#include "ui/pages/mwabstractpage.h"

namespace MW_Pages {

// The about page: application version, Qt's about box, credits and the
// support contact.
class PgAbout : public MWAbstractPage, public ZCore::TSingleton<PgAbout>
{
    Q_OBJECT
    friend class ZCore::TSingleton<PgAbout>;

protected:
    void initPage() override;
    void initUiActions() override;

private:
    PgAbout() = default;
};

} // namespace MW_Pages
