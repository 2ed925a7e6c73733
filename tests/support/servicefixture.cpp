#include "servicefixture.h"

namespace {
void forgetAddresses()
{
    qunsetenv("VELNOR_API_BASE");
    qunsetenv("VELNOR_IP_ECHO_URL");
    qunsetenv("VELNOR_TRANSFER_TIMEOUT_MS");
}
} // namespace

ServiceFixture::ServiceFixture()
{
    forgetAddresses();
    qputenv("VELNOR_API_BASE", backend.baseUrl().toUtf8());
    qputenv("VELNOR_IP_ECHO_URL", (backend.baseUrl() + QStringLiteral("/ip")).toUtf8());
}

ServiceFixture::~ServiceFixture()
{
    DialogDriver::closeOpenBoxes();
    forgetAddresses();
}
