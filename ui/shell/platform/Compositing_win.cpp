#include "ui/shell/platform/Compositing.h"

namespace Compositing {

// Since Windows 8 the desktop window manager always composes; there is nothing to make up for.
State current()
{
    return State::Unknown;
}

} // namespace Compositing
