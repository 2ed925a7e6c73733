#include "mainwindow/messagebox.h"

#include <QCoreApplication>
#include <QDesktopServices>

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

bool messagebox::openInBrowser(const QUrl& url)
{
    if (QDesktopServices::openUrl(url))
        return true;
    showStandard(QMessageBox::Warning,
        QCoreApplication::translate(
            "VelnorMain", "No web browser could be opened. Please open this address in your browser:\n\n%1")
            .arg(url.toString()),
        QCoreApplication::translate("VelnorMain", "Open in browser"));
    return false;
}
