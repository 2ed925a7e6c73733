#pragma once

#include <QSize>
#include <Qt>

// The window's shape when it is shown: frameless, fixed size, on top.
namespace windowflags {
constexpr Qt::WindowFlags normal
    = Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
constexpr QSize size(360, 440);
} // namespace windowflags
