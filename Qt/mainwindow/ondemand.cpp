#include "mainwindow/ondemand.h"

#include "mainwindow/desktop.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QVariant>

namespace {

constexpr char pictureProperty[] = "pixmapWhenShown";

// Decoding a picture costs more than anything else the form sets, and most
// labels with one sit on pages the login page hides. A label is shown before
// it is painted, so the picture is there for its first paint.
class PictureWhenShown : public QObject {
public:
    explicit PictureWhenShown(QLabel* label)
        : QObject(label)
    {
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* label = static_cast<QLabel*>(watched);
            const QVariant picture = label->property(pictureProperty);
            if (picture.isValid())
                label->setPixmap(QPixmap(desktop::pictureForScreen(picture.toString())));
            label->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void ondemand::setPicture(QLabel* label, const QPixmap& picture)
{
    label->setProperty(pictureProperty, QVariant());
    label->setPixmap(picture);
}

void ondemand::pictureForScreen(QLabel* label, const QString& file)
{
    const QString picked = desktop::pictureForScreen(file);
    if (picked != file)
        label->setPixmap(QPixmap(picked));
}

void ondemand::picturesWhenShown(QWidget* root)
{
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (label->property(pictureProperty).isValid())
            new PictureWhenShown(label);
    }
}
