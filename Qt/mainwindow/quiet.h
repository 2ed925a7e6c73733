#pragma once

#include <QString>

class QLabel;
class QWidget;

// What keeps the window quiet at rest: nothing it shows wakes the program
// while nothing changes.
namespace quiet {

// Gives `label` the animation in `file`, running only while the label can be
// seen (a hidden page, a hidden label and a minimised window stop it).
void runMovieWhileShown(QLabel* label, const QString& file);

// Draws the frame's drop shadow beneath it, as the graphics effect with blur
// radius 10 and no offset would, from an image made again only when the
// frame's outline can have changed.
void drawFrameShadow(QWidget* window, QWidget* frame);

} // namespace quiet
