#pragma once

namespace platform {

// The window draws with Qt's raster engine and never with OpenGL. On X11 Qt
// loads the whole GL stack (Mesa, and with its software renderer LLVM) when
// the first window is made, whether or not it is used: under Xvfb, two thirds
// of a small window's start-up instructions and 25 MiB of memory. Call before
// the QApplication is made; a QT_XCB_GL_INTEGRATION the user set still wins.
void drawWithoutOpenGl();

// Qt 5 on X11 scales by the screen's physical DPI when the desktop sets no
// Xft.dpi: a screen of 100 DPI gives 1.04, one of 92 DPI 0.96, and every
// picture and line is resampled by that odd factor. A desktop that sets no
// Xft.dpi asks for no scaling (Qt 6 reads it so), and then this makes the
// factor 1. Call before the QApplication is made; a QT_FONT_DPI or
// QT_SCREEN_SCALE_FACTORS the user set still wins.
void scaleOnlyAsTheDesktopAsks();

} // namespace platform
