#pragma once

class QLabel;
class QString;
class QPixmap;
class QWidget;

// What the window makes when it is first needed rather than at start-up,
// where the login page is all that shows.
namespace ondemand {

// Gives every label under `root` whose form names a picture in its
// "pixmapWhenShown" property that picture, as the screen's scale picks it,
// when the label is first shown, unless the program gave it one before
// (setPicture()).
void picturesWhenShown(QWidget* root);

// A label's pictures are drawn at its size and at twice it (NAME@2x.png).
// On a screen scaled past 1, gives `label`, which the form gave `file`, the
// one drawn at twice its size.
void pictureForScreen(QLabel* label, const QString& file);

// Shows `picture` in `label` now and for good: the form's picture, if still
// waiting for the label to be shown, is dropped.
void setPicture(QLabel* label, const QPixmap& picture);

} // namespace ondemand
