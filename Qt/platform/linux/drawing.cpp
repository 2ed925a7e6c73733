#include "platform/drawing.h"

#include <QByteArray>
#include <QByteArrayList>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {
// Whether Qt will draw on the X server: the platform Qt 5.15 picks, by the
// user's QT_QPA_PLATFORM first, then by the session type.
bool drawsOnX11()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return platform.startsWith("xcb");
    return qgetenv("XDG_SESSION_TYPE") != "wayland";
}

// Whether the X server's resources (what xrdb loads and desktops write)
// name an Xft.dpi. On any doubt, yes: then Qt decides as it always did.
bool desktopSetsDpi()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> closer(connection, xcb_disconnect);
    if (xcb_connection_has_error(connection))
        return true;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return true;
    // RESOURCE_MANAGER holds them as text, one "name:\tvalue" a line.
    const auto cookie = xcb_get_property(
        connection, 0, screen->root, XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 0, 16 * 1024 * 1024);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), std::free);
    if (!reply)
        return true;
    const QByteArray resources(
        static_cast<const char*>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
    for (const QByteArray& line : resources.split('\n')) {
        if (line.trimmed().startsWith("Xft.dpi:"))
            return true;
    }
    return false;
}
} // namespace

void platform::drawWithoutOpenGl()
{
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", QByteArrayLiteral("none"));
}

void platform::scaleOnlyAsTheDesktopAsks()
{
    if (qEnvironmentVariableIsSet("QT_FONT_DPI") || qEnvironmentVariableIsSet("QT_SCREEN_SCALE_FACTORS"))
        return;
    if (drawsOnX11() && !desktopSetsDpi())
        qputenv("QT_FONT_DPI", QByteArrayLiteral("96"));
}
