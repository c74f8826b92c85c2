// Top-level window lookup by class: USER32's on Windows; the portable build
// has no Windows windows.
#ifndef QV_PLATFORM_WINDOW_H
#define QV_PLATFORM_WINDOW_H

namespace qv::platform {

// True when a top-level window of the class exists.
bool WindowClassExists(const char *class_name);

} // namespace qv::platform

#endif
