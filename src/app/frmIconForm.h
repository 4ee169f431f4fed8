#pragma once
// The second window, whose only job is to carry the no-text icon. It is created, hidden, on the first
// request for its icon and kept until the program ends.

#include "platform/Platform.h"

#include <optional>

namespace vorda {

class frmIconForm {
public:
    explicit frmIconForm(Platform& platform) : platform_(platform) {}

    // Loads the window on first use; throws PlatformError when it cannot be loaded.
    [[nodiscard]] IconHandle Icon();
    [[nodiscard]] bool IsLoaded() const { return icon_.has_value(); }

private:
    Platform& platform_;
    std::optional<IconHandle> icon_;
};

} // namespace vorda
