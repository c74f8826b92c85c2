// Windows: USER32's lookup of top-level windows by class.
#include <windows.h>

#include "platform/window.h"

namespace qv::platform {

bool WindowClassExists(const char *class_name)
{
    return FindWindowA(class_name, nullptr) != nullptr;
}

} // namespace qv::platform
