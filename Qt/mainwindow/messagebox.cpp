#include "mainwindow/messagebox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QProxyStyle>

namespace {
class SharpIcons : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const override
    {
        static const struct {
            StandardPixmap icon;
            const char* themeName;
            const char* file;
        } ours[] = {
            { SP_MessageBoxInformation, "dialog-information", ":/resources/messagebox/information.png" },
            { SP_MessageBoxWarning, "dialog-warning", ":/resources/messagebox/warning.png" },
            { SP_MessageBoxCritical, "dialog-error", ":/resources/messagebox/critical.png" },
            { SP_MessageBoxQuestion, "dialog-question", ":/resources/messagebox/question.png" },
        };
        for (const auto& row : ours) {
            if (row.icon != icon)
                continue;
            const QIcon themed = QIcon::fromTheme(QLatin1String(row.themeName));
            // Our file's @2x picture comes with it.
            return themed.isNull() ? QIcon(QLatin1String(row.file)) : themed;
        }
        return QProxyStyle::standardIcon(icon, option, widget);
    }
};
} // namespace

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

void messagebox::useSharpIcons() { QApplication::setStyle(new SharpIcons); }

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
