#pragma once

#include "dialogdriver.h"
#include "fakebackend.h"
#include "testenvironment.h"

// What a window test against the service needs: its own settings and
// working folder, a fake backend the client is pointed at (API base and IP
// echo page), and the message-box driver. Create it in init() and reset it in
// cleanup(), after the window.
class ServiceFixture {
public:
    ServiceFixture();
    ~ServiceFixture();

    ServiceFixture(const ServiceFixture&) = delete;
    ServiceFixture& operator=(const ServiceFixture&) = delete;

    TestEnvironment environment;
    FakeBackend backend;
    DialogDriver dialogs;
};
