#pragma once

namespace platform {

// The window draws with Qt's raster engine and never with OpenGL. On X11 Qt
// loads the whole GL stack (Mesa, and with its software renderer LLVM) when
// the first window is made, whether or not it is used: under Xvfb, two thirds
// of a small window's start-up instructions and 25 MiB of memory. Call before
// the QApplication is made; a QT_XCB_GL_INTEGRATION the user set still wins.
void drawWithoutOpenGl();

} // namespace platform
