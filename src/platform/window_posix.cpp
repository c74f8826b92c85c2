// The portable build has no Windows top-level windows.
#include "platform/window.h"

namespace qv::platform {

bool WindowClassExists(const char * /*class_name*/)
{
    return false;
}

} // namespace qv::platform
