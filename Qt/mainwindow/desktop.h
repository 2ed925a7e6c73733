#pragma once

#include <QString>

class QWidget;

// How the window meets the desktop it runs on: the screen's scale and the
// desktop's colours.
namespace desktop {

// Scales the whole window with the screen, by exactly the desktop's factor:
// the form's texts were placed to fit at 96 DPI, so its fixed geometry must
// grow as much as the font DPI a high-DPI desktop hands out. Pictures are
// then drawn from their @2x files. Call before the application object is
// made; a QT_*SCALE* setting of the user's still wins.
void scaleWithTheScreen();

// `file`, or its @2x version when the screen is scaled and there is one:
// the same look-up Qt's icons and style sheets make, for the pictures that
// go through neither (animations, a label's picture).
QString pictureForScreen(const QString& file);

// The form paints its pages light but leaves many texts, and the text of
// its fields and lists, to the desktop's palette, which may be dark. Gives
// `window` and every widget in it the light palette the form was drawn
// with; windows of their own (message boxes, list popups) keep the
// desktop's colours. Call once the form is built, before it is polished.
void useFormPalette(QWidget* window);

} // namespace desktop
