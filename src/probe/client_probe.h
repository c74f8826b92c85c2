// Whether the client application is running.
#ifndef QV_PROBE_CLIENT_PROBE_H
#define QV_PROBE_CLIENT_PROBE_H

namespace qv::probe {

// True when a top-level window of one of the client's two window classes
// exists.
bool ClientRunning();

} // namespace qv::probe

#endif
