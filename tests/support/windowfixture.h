#pragma once

#include "dialogdriver.h"
#include "fakebackend.h"
#include "testenvironment.h"

#include "mainwindow/form.h"
#include "mainwindow/velnormain.h"

#include <QLabel>
#include <QLineEdit>

#include <functional>
#include <memory>

// What a window suite needs: its own settings and working folder, a fake
// backend the client is pointed at (API base and IP echo page), the
// message-box driver, and the window itself. Create one in init() and
// destroy it in cleanup(); it closes any box left open and the window
// before the rest.
class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    // Creates the window, shows it and waits until it is exposed.
    VelnorMain* openWindow();
    void closeWindow();

    // A widget of the window by object name; the test stops when it is
    // missing. One on a page not made yet is reached as the window's own
    // code reaches it, which makes its page.
    template <typename T = QWidget>
    T* child(const char* name) const
    {
        auto* widget = window->findChild<T*>(QLatin1String(name));
        if (!widget) {
            form::makeLatePages(window.get());
            widget = window->findChild<T*>(QLatin1String(name));
        }
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

    // The text of a hidden state field or of a label, by object name.
    QString field(const char* name) const { return child<QLineEdit>(name)->text(); }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }
    void setField(const char* name, const QString& text) const { child<QLineEdit>(name)->setText(text); }

    // Runs the window's monitor tick, `intervalMs` apart, until `done` holds
    // or `ticks` ran; for suites that drive the monitor's clock themselves.
    bool tickUntil(const std::function<bool()>& done, int ticks, int intervalMs);

    TestEnvironment environment;
    FakeBackend backend;
    DialogDriver dialogs;
    std::unique_ptr<VelnorMain> window;
    // The replies the window has handled, by path; set by openWindow().
    DeliveredReplies* delivered = nullptr;
};
