#pragma once

#include <QIcon>
#include <QString>

namespace windowicon {

// The window icon from the pictures of an .ico file no larger than `largest`
// pixels, the sizes window managers draw a window's icon at (title bar, task
// bar, switcher). Qt reads every picture of the file and hands every size to
// the window system: decoding the 256-pixel one cost more than the rest of
// the window's pictures together. The whole file when none is that small.
QIcon fromIco(const QString& path, int largest);

} // namespace windowicon
