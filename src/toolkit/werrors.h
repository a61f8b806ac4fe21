// The toolkit's exceptions: one type per class whose creation can fail.
#pragma once

#include "runtime/errors.h"

namespace quorvin {

// "wXxx creation failed", reported with the type name wXxxError.
#define QUORVIN_DECLARE_TOOLKIT_ERROR(Class)                                                       \
    class Class##Error : public InputError {                                                       \
    public:                                                                                        \
        Class##Error() : InputError(#Class " creation failed") {}                                  \
        const char* typeName() const noexcept override { return #Class "Error"; }                  \
    };

QUORVIN_DECLARE_TOOLKIT_ERROR(wApp)
QUORVIN_DECLARE_TOOLKIT_ERROR(wWindow)
QUORVIN_DECLARE_TOOLKIT_ERROR(wFrame)
QUORVIN_DECLARE_TOOLKIT_ERROR(wPanel)
QUORVIN_DECLARE_TOOLKIT_ERROR(wTextCtrl)
QUORVIN_DECLARE_TOOLKIT_ERROR(wButton)
QUORVIN_DECLARE_TOOLKIT_ERROR(wStaticText)
QUORVIN_DECLARE_TOOLKIT_ERROR(wStatusBar)
QUORVIN_DECLARE_TOOLKIT_ERROR(wFont)
QUORVIN_DECLARE_TOOLKIT_ERROR(wIcon)

#undef QUORVIN_DECLARE_TOOLKIT_ERROR

} // namespace quorvin
