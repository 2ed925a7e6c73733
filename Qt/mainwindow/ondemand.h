#pragma once

class QLabel;
class QPixmap;
class QWidget;

// What the window makes when it is first needed rather than at start-up,
// where the login page is all that shows.
namespace ondemand {

// Gives every label under `root` whose form names a picture in its
// "pixmapWhenShown" property that picture when the label is first shown,
// unless the program gave it one before (setPicture()).
void picturesWhenShown(QWidget* root);

// Shows `picture` in `label` now and for good: the form's picture, if still
// waiting for the label to be shown, is dropped.
void setPicture(QLabel* label, const QPixmap& picture);

} // namespace ondemand
