#include "mainwindow/desktop.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

// Qt's own look-up of "NAME@Nx.EXT" (exported by Qt Gui).
QT_BEGIN_NAMESPACE
extern Q_GUI_EXPORT QString qt_findAtNxFile(
    const QString& baseFileName, qreal targetDevicePixelRatio, qreal* sourceDevicePixelRatio = nullptr);
QT_END_NAMESPACE

void desktop::scaleWithTheScreen()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Not rounded: at 150 % the window is 1.5 times the design. Rounded up,
    // it would be twice the design while Qt lowers the font DPI to match, so
    // its texts would shrink to three quarters; rounded down, the texts
    // would outgrow the fixed geometry again.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

QString desktop::pictureForScreen(const QString& file) { return qt_findAtNxFile(file, qApp->devicePixelRatio()); }
