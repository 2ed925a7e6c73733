#pragma once

#include <QMessageBox>
#include <QString>
#include <QUrl>

namespace messagebox {

// Parentless, on top of everything, with a title bar but no window buttons.
constexpr Qt::WindowFlags standardFlags
    = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint;

// The standard message box every feature reports with: no parent, modal,
// standardFlags, the icon and text, a window title when one is given; waits
// until it is closed.
void showStandard(QMessageBox::Icon icon, const QString& text, const QString& title = QString());

// The gate of every connect: false, after telling the user, while the
// account (its `user_enabled` text) is not enabled.
bool accountMayConnect(const QString& userEnabled);

// Message boxes show the desktop icon theme's icons, or, where it has none,
// ours drawn for every scale: the style's own are 32-pixel bitmaps, blocky on
// a scaled screen. Call once the application object exists.
void useSharpIcons();

// Opens a page in the user's browser. Without a browser the user gets the
// address to copy instead; false then.
bool openInBrowser(const QUrl& url);

} // namespace messagebox
