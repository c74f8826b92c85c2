#include "probe/client_probe.h"

#include <array>

#include "platform/window.h"

namespace qv::probe {

// Asked in this order; the second only when the first is absent.
constexpr std::array<const char *, 2> kClientWindowClasses = {"QarvellWobexAppClass",
                                                              "OverHereVornt"};

bool ClientRunning()
{
    for (const char *window_class : kClientWindowClasses)
        if (platform::WindowClassExists(window_class))
            return true;
    return false;
}

} // namespace qv::probe
