#include "platform/drawing.h"

// Qt on Windows loads OpenGL only for a window that asks for it.
void platform::drawWithoutOpenGl() { }
