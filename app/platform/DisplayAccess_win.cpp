#include "app/platform/DisplayAccess.h"

namespace DisplayAccess {

// A Windows desktop session always has its window station.
QString problem(int, char**)
{
    return {};
}

void release() {}

} // namespace DisplayAccess
