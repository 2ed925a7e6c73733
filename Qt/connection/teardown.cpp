#include "connection/teardown.h"

#include "connection/launcher.h"
#include "connection/pppworker.h"

#include <QTimer>

namespace {

// Calls its function once, when the last of its parts is done or its bound
// has passed, and then goes. The parts' connections go with it.
class Waiter : public QObject {
public:
    Waiter(QObject* context, std::function<void()> then)
        : QObject(context)
        , then(std::move(then))
    {
    }

    std::function<void()> part()
    {
        ++pending;
        return [this] {
            if (--pending == 0)
                finish();
        };
    }

    void finish()
    {
        if (!then)
            return;
        const std::function<void()> call = std::move(then);
        then = nullptr;
        deleteLater();
        call();
    }

private:
    std::function<void()> then;
    int pending = 0;
};

} // namespace

void connection::whenTunnelsGone(
    PPPWorker* dialer, openvpn::Launcher* launcher, QObject* context, std::function<void()> then, int boundMs)
{
    auto* waiter = new Waiter(context, std::move(then));
    dialer->whenHungUp(waiter, waiter->part());
    launcher->whenStopped(waiter, waiter->part());
    QTimer::singleShot(boundMs, waiter, [waiter] { waiter->finish(); });
}
