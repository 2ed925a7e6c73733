#include "mainwindow/desktop.h"

#include "platform/drawing.h"

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
    platform::scaleOnlyAsTheDesktopAsks();
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Not rounded: at 150 % the window is 1.5 times the design. Rounded up,
    // it would be twice the design while Qt lowers the font DPI to match, so
    // its texts would shrink to three quarters; rounded down, the texts
    // would outgrow the fixed geometry again.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

QString desktop::pictureForScreen(const QString& file) { return qt_findAtNxFile(file, qApp->devicePixelRatio()); }

void desktop::useFormPalette(QWidget* window)
{
    // The light system colours of the desktop the form was drawn on.
    QPalette light(QColor(240, 240, 240));
    light.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    light.setColor(QPalette::Highlight, QColor(0, 120, 215));
    light.setColor(QPalette::HighlightedText, Qt::white);
    // A widget beneath a style sheet takes the desktop's palette rather than
    // its parent's, so each needs its own; children first, so that no
    // parent's passes on to them. Polishing then lays the style sheets'
    // colours over it.
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (auto widget = widgets.crbegin(); widget != widgets.crend(); ++widget)
        (*widget)->setPalette(light);
    window->setPalette(light);
}
