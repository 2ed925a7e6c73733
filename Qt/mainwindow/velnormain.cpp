#include "mainwindow/velnormain.h"
#include "ui_velnormain.h"

#include "connection/pppworker.h"
#include "platform/tray.h"
#include "service/endpoints.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QGraphicsDropShadowEffect>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <QTimer>

namespace {
const Qt::WindowFlags normalWindowFlags = Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
constexpr QSize windowSize(360, 440);

// The form's texts step only renames the lists' first items; give each list
// back exactly the items the form starts with, so they can be renamed.
void resetFormLists(Ui::VelnorMain* form)
{
    const std::pair<QComboBox*, int> lists[] = {
        { form->servers, 1 },
        { form->protocols, 1 },
        { form->type, 1 },
        { form->payment_processor, 4 },
        { form->payment_plan, 3 },
    };
    for (const auto& [list, count] : lists) {
        const QSignalBlocker blocker(list);
        list->clear();
        for (int item = 0; item < count; ++item)
            list->addItem(QString());
    }
}

bool settingIsOne(const QSettings& settings, const QString& key)
{
    return settings.value(key).toString() == QLatin1String("1");
}
}

static void initResources()
{
    // The pictures live in a static library; register them before any use.
    Q_INIT_RESOURCE(resources);
}

VelnorMain::VelnorMain(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::VelnorMain)
    , appVersion(QStringLiteral("15.0801"))
{
    initResources();
    dragPosition = QPoint(0, 0);
    userInfoReplyCount = 0;

    QCoreApplication::setOrganizationName(QStringLiteral("Velnor"));
    QCoreApplication::setOrganizationDomain(endpoints::webDomain());
    QCoreApplication::setApplicationName(QStringLiteral("Velnor VPN"));
    QSettings settings;

    settings.setValue(QStringLiteral("vlrunning"), QString::number(QDateTime::currentMSecsSinceEpoch()));
    elapsedSeconds = 0;

    ui->setupUi(this);
    ui->XMLUserData->hide();

    setWindowFlags(normalWindowFlags);
    setAttribute(Qt::WA_TranslucentBackground);

    auto* shadow = new QGraphicsDropShadowEffect;
    shadow->setBlurRadius(10);
    shadow->setOffset(0, 0);
    ui->centralWidget->setGraphicsEffect(shadow);

    setFixedSize(windowSize);

    if (settingIsOne(settings, QStringLiteral("startMinimized")))
        applicationMinimize();

    openvpnProcess = new QProcess(this);

    // Parented to their labels so they are released with the window.
    auto* loadingMovie = new QMovie(QStringLiteral(":/resources/loading3.gif"), QByteArray(), ui->loading);
    ui->loading->setMovie(loadingMovie);
    loadingMovie->start();
    ui->loading->hide();
    auto* connectingMovie = new QMovie(QStringLiteral(":/resources/loader.gif"), QByteArray(), ui->connecting_image);
    ui->connecting_image->setMovie(connectingMovie);
    connectingMovie->start();

    ui->workingFolder->setText(QDir::currentPath());

    showAction = new QAction(tr("&Show Application"), this);
    connect(showAction, &QAction::triggered, this, &VelnorMain::application_maximize);
    quitAction = new QAction(tr("&Quit"), this);
    connect(quitAction, &QAction::triggered, this, &VelnorMain::on_application_close_clicked);
    trayMenu = new QMenu(this);
    trayMenu->addAction(showAction);
    trayMenu->addAction(quitAction);
    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setContextMenu(trayMenu);
    trayIcon->setIcon(QIcon(QStringLiteral(":/velnor.png")));
    trayIcon->setVisible(true);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &VelnorMain::trayIconClicked);

    updateManager = new QNetworkAccessManager(this);
    downloadManager = new QNetworkAccessManager(this);
    loginManager = new QNetworkAccessManager(this);
    userInfoManager = new QNetworkAccessManager(this);
    certificateManager = new QNetworkAccessManager(this);
    profileConfigManager = new QNetworkAccessManager(this);
    ipCheckManager = new QNetworkAccessManager(this);
    newAccountManager = new QNetworkAccessManager(this);
    connect(loginManager, &QNetworkAccessManager::finished, this, &VelnorMain::HasFinished);
    connect(userInfoManager, &QNetworkAccessManager::finished, this, &VelnorMain::HasFinishedUserData);
    connect(newAccountManager, &QNetworkAccessManager::finished, this, &VelnorMain::newAccountResponse);
    connect(certificateManager, &QNetworkAccessManager::finished, this, &VelnorMain::OpenVPNConnectStage1);
    connect(profileConfigManager, &QNetworkAccessManager::finished, this, &VelnorMain::OpenVPNConnectStage2);
    connect(ipCheckManager, &QNetworkAccessManager::finished, this, &VelnorMain::SetCurrentIP);
    connect(updateManager, &QNetworkAccessManager::finished, this, &VelnorMain::UpdateResponse);
    connect(downloadManager, &QNetworkAccessManager::finished, this, &VelnorMain::downloadFinished);

    monitorTimer = new QTimer(this);
    connect(monitorTimer, &QTimer::timeout, this, &VelnorMain::UpdateTimer);
    monitorTimer->start(3000);

    pppThread = new QThread;
    pppWorker = new PPPWorker;
    pppWorker->setStatus(QString());
    pppWorker->moveToThread(pppThread);
    connect(pppWorker, &PPPWorker::PPPStart, this, [this] { pppThread->start(); });
    connect(pppThread, &QThread::started, pppWorker, &PPPWorker::VPNStart);

    ui->application_version->setText(QStringLiteral("v") + appVersion);
    ui->application_version_2->setText(QStringLiteral("version ") + appVersion);

    ui->WidgetNewAccount->hide();
    ui->WidgetConnectedVPN->hide();
    ui->WingetConnected->hide();
    ui->WidgetConnectingVPN->hide();
    ui->WidgetPaymentInProgress->hide();
    ui->WingetLogin->show();
    ui->LogoSmall->hide();
    ui->application_version->hide();

    PPPDisconnect();
    GetCurrentIP();
    UpdateCheck();

    if (settingIsOne(settings, QStringLiteral("vlr"))) {
        ui->autologin->setChecked(true);
        ui->username->setText(settings.value(QStringLiteral("vlu")).toString());
        ui->password->setText(settings.value(QStringLiteral("vlp")).toString());
        Login();
    } else {
        ui->autologin->setChecked(false);
    }

    if (settingIsOne(settings, QStringLiteral("startWithWindows")))
        ui->startWithWindows->setChecked(true);
    if (settingIsOne(settings, QStringLiteral("vpn_auto_connect")))
        ui->vpn_auto_connect->setChecked(true);
    if (settingIsOne(settings, QStringLiteral("startMinimized")))
        ui->startMinimized->setChecked(true);
    if (settingIsOne(settings, QStringLiteral("showTaskbarIcon")))
        ui->showTaskbarIcon->setChecked(true);

    ui->tabAccountZoneInfo->hide();
    ui->tabAccountZonePayment->hide();

    ui->quick_stage->setText(QStringLiteral("0"));
    ui->paymentInProgress->setText(QStringLiteral("0"));

    ui->username->setFocus(Qt::OtherFocusReason);

    ui->ip->setText(QStringLiteral("     .     .     .     "));
    ui->connection_status_icon->setStyleSheet(QStringLiteral("background:url(:/resources/not_connected_icon.png); "));
    ui->connection_status->setText(tr("not connected"));
}

VelnorMain::~VelnorMain()
{
    PPPDisconnect();
    if (pppThread->isRunning())
        pppThread->quit();
    openvpnProcess->kill();
    pppThread->wait();
    delete pppThread;
    delete pppWorker;
    removeOpenVPNfiles();
    delete ui;
    ui = nullptr;

    QSettings settings;
    settings.setValue(QStringLiteral("vlrunning"), QStringLiteral("0"));
}

void VelnorMain::mousePressEvent(QMouseEvent* event)
{
    dragPosition = event->localPos().toPoint();
}

void VelnorMain::mouseMoveEvent(QMouseEvent* event)
{
    move(event->screenPos().toPoint() - dragPosition);
}

void VelnorMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    const auto answer = QMessageBox::question(this, tr("Application close"), tr("Are you sure you want to exit?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        event->accept();
}

void VelnorMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange && ui) {
        resetFormLists(ui);
        ui->retranslateUi(this);
    }
}

void VelnorMain::on_application_minimize_clicked()
{
    applicationMinimize();
}

void VelnorMain::applicationMinimize()
{
    const QSettings settings;
    // Without a tray the hidden window could not be brought back, so it keeps
    // its taskbar button there.
    if (!settingIsOne(settings, QStringLiteral("showTaskbarIcon")) && platform::systemTrayAvailable()) {
        setWindowFlags(this->windowFlags() | Qt::Tool);
        hide();
        setFixedSize(0, 0);
    }
    setWindowState(Qt::WindowMinimized);
}

void VelnorMain::application_maximize()
{
    for (int pass = 0; pass < 2; ++pass) {
        setWindowFlags(normalWindowFlags);
        show();
        showNormal();
        activateWindow();
        setFixedSize(windowSize);
    }
}

void VelnorMain::trayIconClicked(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        application_maximize();
}

void VelnorMain::on_application_close_clicked()
{
    const auto answer = QMessageBox::question(this, tr("Close Confirmation?"), tr("Are you sure you want to exit?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    if (answer == QMessageBox::Yes)
        QCoreApplication::quit();
}
