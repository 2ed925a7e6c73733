#include "mainwindow/messagebox.h"

#include <QCoreApplication>

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

bool messagebox::accountMayConnect(const QString& userEnabled)
{
    if (userEnabled != QLatin1String("0") && !userEnabled.isEmpty())
        return true;
    showStandard(QMessageBox::Critical,
        QCoreApplication::translate("VelnorMain",
            "VPN connections are not available for your account. You need to subscribe to a plan to make account "
            "enabled. \nFor more details please visit our site."),
        QCoreApplication::translate("VelnorMain", "Your account is disabled"));
    return false;
}
