#include "platform/drawing.h"

// Qt on Windows loads OpenGL only for a window that asks for it.
void platform::drawWithoutOpenGl() { }

// Windows hands every program the scale the user chose.
void platform::scaleOnlyAsTheDesktopAsks() { }
