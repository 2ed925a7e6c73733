#include "dialogdriver.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>

DialogDriver::DialogDriver(QObject* parent)
    : QObject(parent)
{
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, this, &DialogDriver::poll);
    timer.start();
}

DialogDriver::~DialogDriver() = default;

QMessageBox* DialogDriver::openBox()
{
    // The main window is application modal itself, so the active modal
    // widget is not always the box.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        return box;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible())
            return box;
    }
    return nullptr;
}

void DialogDriver::poll()
{
    QMessageBox* box = openBox();
    if (!box || handled.contains(box))
        return;
    handled.append(box);

    Box record;
    record.title = box->windowTitle();
    record.text = box->text();
    record.format = box->textFormat();
    record.icon = box->icon();
    record.flags = box->windowFlags();
    record.hasParent = box->parentWidget() != nullptr;
    record.buttons = box->standardButtons();
    record.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    seen.append(record);

    QAbstractButton* button = nullptr;
    if (!answers.isEmpty())
        button = box->button(answers.takeFirst());
    if (!button)
        button = box->escapeButton();
    if (!button)
        button = box->button(QMessageBox::No);
    if (!button && !box->buttons().isEmpty())
        button = box->buttons().first();
    if (button)
        button->click();
    else
        box->done(0);
}

void DialogDriver::closeOpenBoxes()
{
    while (QMessageBox* box = openBox())
        box->done(0);
}
