#pragma once

namespace fonts {

// The form is drawn in the Windows system font; elsewhere the closest free
// font with similar widths stands in, both for the widgets that name a family
// and, as the application font, for those that take the system's, so the
// fixed-size texts still fit. Call before the window is built.
void useFormFonts();

} // namespace fonts

class QWidget;

namespace fonts {

// Gives every label, button and check box under `root` whose one-line text is
// wider than its fixed geometry a smaller font, in half points down to 7 pt,
// so the text fits rather than being cut; other fonts draw the form's texts
// wider than the one it was drawn with.
void fitTexts(QWidget* root);

// fitTexts(root) now if `root` is visible, else when it is next shown; for a
// tab widget, each page's when that page is: measuring a text polishes its
// widget, work the window need not do for a page nobody opened, and a hidden
// page may not be polished yet.
void fitTextsWhenShown(QWidget* root);

} // namespace fonts
