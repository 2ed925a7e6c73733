#pragma once

class QWidget;

// What the window makes when it is first needed rather than at start-up,
// where the login page is all that shows.
namespace ondemand {

// Gives every label under `root` whose form names a picture in its
// "pixmapWhenShown" property that picture when the label is first shown,
// unless the program gave it one before.
void picturesWhenShown(QWidget* root);

} // namespace ondemand
