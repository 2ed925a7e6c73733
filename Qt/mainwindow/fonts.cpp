#include "mainwindow/fonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QTabWidget>

void fonts::useFormFonts()
{
#ifndef Q_OS_WIN
    const QStringList standIns = { QStringLiteral("Liberation Sans"), QStringLiteral("Arial") };
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"), standIns);
    QFont::insertSubstitutions(QStringLiteral("Segoe UI Black"), standIns);
    // Windows' own application font; Linux's default (often DejaVu Sans) is
    // wider and cuts the labels that take it.
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Segoe UI"));
    font.setPointSize(9);
    QApplication::setFont(font);
#endif
}

void fonts::fitTexts(QWidget* root)
{
    constexpr qreal smallest = 7.0;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        const bool oneLineText = label ? !label->text().isEmpty() && !label->wordWrap() && !label->pixmap()
                                       : qobject_cast<QAbstractButton*>(widget) != nullptr;
        if (!oneLineText)
            continue;
        QFont font = widget->font();
        while (widget->sizeHint().width() > widget->width() && font.pointSizeF() - 0.5 >= smallest) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            widget->setFont(font);
        }
    }
}

namespace {
class FitWhenShown : public QObject {
public:
    explicit FitWhenShown(QWidget* root)
        : QObject(root)
        , root(root)
    {
        root->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == root && event->type() == QEvent::Show) {
            root->removeEventFilter(this);
            fonts::fitTexts(root);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* root;
};
} // namespace

void fonts::fitTextsWhenShown(QWidget* root)
{
    // A tab's page is shown only when its tab is chosen.
    if (auto* tabs = qobject_cast<QTabWidget*>(root)) {
        for (int index = 0; index < tabs->count(); ++index)
            fitTextsWhenShown(tabs->widget(index));
        return;
    }
    if (root->isVisible())
        fitTexts(root);
    else
        new FitWhenShown(root);
}
