#include "app/frmIconForm.h"

#include "app/FormDefinitions.h"

namespace vorda {

IconHandle frmIconForm::Icon()
{
    if (!icon_) {
        icon_ = platform_.LoadIconWindow(kFrmIconForm);
    }
    return *icon_;
}

} // namespace vorda
