#include "windowfixture.h"

#include <QtTest>

#include <algorithm>

namespace {
void forgetAddresses()
{
    qunsetenv("VELNOR_API_BASE");
    qunsetenv("VELNOR_IP_ECHO_URL");
    qunsetenv("VELNOR_TRANSFER_TIMEOUT_MS");
}

// Waits up to `ms` for `done`, looking every 100 ms and sleeping in the
// event loop in between: QTest::qWaitFor wakes every 10 ms, which costs an
// emulated machine (scripts/pppworld) a fifth of the processor its dial needs.
bool sparseWaitFor(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(100, deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
} // namespace

WindowFixture::WindowFixture()
{
    forgetAddresses();
    qputenv("VELNOR_API_BASE", backend.baseUrl().toUtf8());
    qputenv("VELNOR_IP_ECHO_URL", (backend.baseUrl() + QStringLiteral("/ip")).toUtf8());
}

WindowFixture::~WindowFixture()
{
    closeWindow();
    forgetAddresses();
}

VelnorMain* WindowFixture::openWindow()
{
    window = std::make_unique<VelnorMain>();
    delivered = new DeliveredReplies(window.get());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not exposed");
    return window.get();
}

void WindowFixture::closeWindow()
{
    DialogDriver::closeOpenBoxes();
    window.reset();
    delivered = nullptr;
}

bool WindowFixture::tickUntil(const std::function<bool()>& done, int ticks, int intervalMs)
{
    for (int tick = 0; tick < ticks && !done(); ++tick) {
        QMetaObject::invokeMethod(window.get(), "UpdateTimer");
        // A tick's work can meet the condition; then the next tick is not waited for.
        if (sparseWaitFor(done, intervalMs))
            break;
    }
    return done();
}
