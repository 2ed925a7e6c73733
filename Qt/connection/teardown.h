#pragma once

#include <QObject>

#include <functional>

class PPPWorker;

namespace connection {

namespace openvpn {
class Launcher;
}

// How long a disconnect waits for its tunnels before it goes on all the
// same: a hang-up that never returns must not hold up what follows.
constexpr int tunnelsGoneBoundMs = 10000;

// Calls `then` on `context`'s thread once the tunnels asked to end are gone:
// every hang-up asked of `dialer` so far has returned, and nothing `launcher`
// started still runs. Or once `boundMs` have passed, whichever comes first;
// never if `context` goes first. Never blocks.
void whenTunnelsGone(PPPWorker* dialer, openvpn::Launcher* launcher, QObject* context, std::function<void()> then,
    int boundMs = tunnelsGoneBoundMs);

} // namespace connection
