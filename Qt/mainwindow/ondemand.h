#pragma once

class QWidget;

// What the window makes when it is first needed rather than at start-up,
// where the login page is all that shows.
namespace ondemand {

// Gives every label under `root` whose form names a picture in its
// "pixmapWhenShown" property that picture when the label is first shown. A
// label whose picture the program changes (the server's flag) keeps its
// picture in "pixmap", decoded with the form.
void picturesWhenShown(QWidget* root);

} // namespace ondemand
