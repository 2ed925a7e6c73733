#include "mainwindow/messagebox.h"

void messagebox::showStandard(QMessageBox::Icon icon, const QString& text, const QString& title)
{
    QMessageBox box;
    box.setModal(true);
    box.setWindowFlags(standardFlags);
    box.setIcon(icon);
    // Texts often come from the service over plain HTTP: never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    // Some boxes carry an address the user has to copy.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!title.isNull())
        box.setWindowTitle(title);
    box.exec();
}
