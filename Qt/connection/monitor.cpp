#include "mainwindow/velnormain.h"
#include "ui_velnormain.h"

#include <QDateTime>
#include <QSettings>

void VelnorMain::UpdateTimer()
{
    elapsedSeconds += 3;
    // Buttons disabled when an attempt starts come back on its second tick.
    if (elapsedSeconds > 3) {
        ui->connect->setEnabled(true);
        if (ui->quick_stage->text().toInt() < 1)
            ui->quickConnect->setEnabled(true);
    }
    ui->seconds->setText(QString::number(elapsedSeconds));

    QSettings settings;
    settings.setValue(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch()));
    if (settings.value(QStringLiteral("vlmaximize")).toString() == QLatin1String("1")) {
        settings.setValue(QStringLiteral("vlmaximize"), QStringLiteral("0"));
        application_maximize();
    }
}
