// The shared hand cursor.
#include "toolkit/cursor.h"

namespace quorvin {

HCURSOR handCursor() {
    static const HCURSOR cursor = LoadCursorW(nullptr, IDC_HAND);
    return cursor;
}

} // namespace quorvin
