#include "windowfixture.h"

#include <QtTest>

namespace {
void forgetAddresses()
{
    qunsetenv("VELNOR_API_BASE");
    qunsetenv("VELNOR_IP_ECHO_URL");
    qunsetenv("VELNOR_TRANSFER_TIMEOUT_MS");
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
        QTest::qWait(intervalMs);
    }
    return done();
}
