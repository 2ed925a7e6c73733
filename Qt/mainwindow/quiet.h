#pragma once

#include <QString>

class QLabel;
class QObject;
class QWidget;

// What keeps the window quiet at rest: nothing it shows wakes the program
// while nothing changes.
namespace quiet {

// Gives `label` the animation in `file`, running only while the label can be
// seen (a hidden page, a hidden label and a minimised window stop it).
void runMovieWhileShown(QLabel* label, const QString& file);

// Draws the frame's drop shadow beneath it, as the graphics effect with blur
// radius 10 and no offset would, from an image made again only when the
// frame's outline can have changed. `body`, a part of the frame that is
// always shown, paints every pixel of its rectangle opaque.
void drawFrameShadow(QWidget* window, QWidget* frame, QWidget* body);

// For a widget whose style sheet covers every pixel of it with opaque
// colour: its own repaints (a caret blinking) then draw it alone, not the
// translucent window's style-sheet widgets beneath it as well.
void paintAlone(QWidget* opaque);

// Stops every caret blinking once the user has neither typed nor clicked
// for `timeoutMs`, and starts it again at the next key or click, as GTK
// desktops do (gtk-cursor-blink-timeout). A steady caret stays shown. Ends
// with `owner`, which puts the blink back.
void stopCaretBlinkAfter(QObject* owner, int timeoutMs);

// Polishes the hidden `page` and everything in it when the first of them is
// shown rather than when the window is.
void polishWhenShown(QWidget* page);

// Holds back the polish of every widget polished while it lives: a tab
// widget shows, and so polishes, its first page as uic adds it, hidden or
// not. When it ends, each widget it held is polished then, unless a page
// given to polishWhenShown holds it, which polishes it when first shown.
class PolishHold {
public:
    PolishHold();
    ~PolishHold();
    PolishHold(const PolishHold&) = delete;
    PolishHold& operator=(const PolishHold&) = delete;

private:
    QObject* filter;
};

} // namespace quiet
