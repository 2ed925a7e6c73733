#include "mainwindow/velnormain.h"
#include "mainwindow/form.h"

#include "app/identity.h"
#include "app/settings.h"
#include "connection/launcher.h"
#include "connection/pppworker.h"
#include "mainwindow/desktop.h"
#include "mainwindow/fonts.h"
#include "mainwindow/lists.h"
#include "mainwindow/ondemand.h"
#include "mainwindow/pages.h"
#include "mainwindow/quiet.h"
#include "mainwindow/windowflags.h"
#include "mainwindow/windowicon.h"
#include "service/endpoints.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <limits>

namespace {
constexpr int exitWaitMs = 5000;
constexpr int windowIconLargest = 48;
// As GTK desktops stop it (gtk-cursor-blink-timeout).
constexpr int caretBlinkTimeoutMs = 10000;
} // namespace

static void initResources()
{
    // The pictures live in a static library; register them before any use.
    Q_INIT_RESOURCE(resources);
}

VelnorMain::VelnorMain(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::VelnorMain)
    , appVersion(app::version())
{
    initResources();
    dragPosition = QPoint(0, 0);
    userInfoReplyCount = 0;

    app::setIdentity();
    // Lets the desktop find the entry, and so the icon, of this window.
    QGuiApplication::setDesktopFileName(app::desktopFileName());
    app::settings::keepPrivate();
    app::settings::writeHeartbeat(QDateTime::currentMSecsSinceEpoch());
    elapsedSeconds = 0;

    {
        const quiet::PolishHold hold;
        ui->setupUi(this);
        desktop::useFormPalette(this);
        for (QWidget* hidden : std::initializer_list<QWidget*> { ui->XMLUserData, ui->signedInPage.holder(),
                 ui->newAccountPage.holder(), ui->connectingPage.holder(), ui->connectedPage.holder(),
                 ui->WidgetPaymentInProgress, ui->LogoSmall, ui->application_version, ui->loading })
            quiet::polishWhenShown(hidden);
    }
    ondemand::picturesWhenShown(ui->centralWidget);
    ondemand::pictureForScreen(ui->LogoBig, QStringLiteral(":/resources/logo.png"));
    prepareLatePages();
    ui->XMLUserData->hide();
    // The hidden fields hold the program's state and are never drawn: their
    // text is not laid out for display on every write, and has no length
    // limit (QLineEdit's 32767 characters would cut a long quick-connect list).
    for (QLineEdit* field : ui->XMLUserData->findChildren<QLineEdit*>()) {
        field->setEchoMode(QLineEdit::NoEcho);
        field->setMaxLength(std::numeric_limits<int>::max());
    }
    // These show what the service and the IP echo page send, which anyone on
    // the path can change: plain text, never markup or pictures.
    for (QLabel* label : { ui->ip, ui->authstatus, ui->connecting_title, ui->connected_title })
        label->setTextFormat(Qt::PlainText);

    // The form's icon, at the sizes a window manager draws (see windowicon.h).
    setWindowIcon(windowicon::fromIco(QStringLiteral(":/velnor.ico"), windowIconLargest));
    setWindowFlags(windowflags::normal);
    setAttribute(Qt::WA_TranslucentBackground);

    quiet::drawFrameShadow(this, ui->centralWidget, ui->widget);
    quiet::paintAlone(ui->username);
    quiet::paintAlone(ui->password);
    quiet::stopCaretBlinkAfter(this, caretBlinkTimeoutMs);

    setFixedSize(windowflags::size);

    using app::settings::Preference;
    if (app::settings::preference(Preference::StartMinimized))
        applicationMinimize();

    openvpnProcess = new QProcess(this);
    connection::openvpn::installLauncher(
        openvpnProcess, service::endpoints::openvpnExecutableConfigured(), service::endpoints::openvpnExecutable);

    // Parented to their labels so they are released with the window.
    ui->loading->hide();
    quiet::runMovieWhileShown(ui->loading, QStringLiteral(":/resources/loading3.gif"));

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
    connect(pppThread, &QThread::started, pppWorker, &PPPWorker::VPNStart);
    connect(pppThread, &QThread::finished, this, [this] {
        if (pppWorker->takeRunPending())
            pppThread->start();
    });

    ui->application_version->setText(QStringLiteral("v") + appVersion);
    ui->application_version_2->setText(QStringLiteral("version ") + appVersion);

    pages::show(ui, pages::Page::Login);
    ui->WidgetPaymentInProgress->hide();
    ui->LogoSmall->hide();
    ui->application_version->hide();

    PPPDisconnect();
    GetCurrentIP();
    UpdateCheck();

    const app::settings::RememberedLogin remembered = app::settings::rememberedLogin();
    if (remembered.remember) {
        ui->autologin->setChecked(true);
        ui->username->setText(remembered.user);
        ui->password->setText(remembered.password);
        Login();
    } else {
        ui->autologin->setChecked(false);
    }

    ui->quick_stage->setText(QStringLiteral("0"));
    ui->paymentInProgress->setText(QStringLiteral("0"));

    ui->username->setFocus(Qt::OtherFocusReason);

    ui->ip->setText(QStringLiteral("     .     .     .     "));
    ui->connection_status_icon->setStyleSheet(QStringLiteral("background:url(:/resources/not_connected_icon.png); "));
    ui->connection_status->setText(tr("not connected"));
}

// What each late page needs before a caller sees it, as the window would
// have given it at start: every page its pictures and fitted texts when shown,
// then what is its own.
void VelnorMain::prepareLatePages()
{
    const auto prepare = [](form::LatePage& page, std::function<void()> own) {
        page.whenMade([&page, own] {
            ondemand::picturesWhenShown(page.holder());
            fonts::fitTextsWhenShown(page.holder());
            if (own)
                own();
        });
    };
    prepare(ui->signedInPage, [this] {
        lists::useTextList(ui->servers);
        for (QLabel* label : { ui->user_name, ui->user_email, ui->user_plan, ui->user_expire, ui->user_quota })
            label->setTextFormat(Qt::PlainText);
        pages::nameTheSystem(ui);
        using app::settings::Preference;
        ui->startWithWindows->setChecked(app::settings::preference(Preference::StartWithSystem));
        ui->vpn_auto_connect->setChecked(app::settings::preference(Preference::AutoConnect));
        ui->startMinimized->setChecked(app::settings::preference(Preference::StartMinimized));
        ui->showTaskbarIcon->setChecked(app::settings::preference(Preference::ShowTaskbarIcon));
        ui->tabAccountZoneInfo->hide();
        ui->tabAccountZonePayment->hide();
    });
    prepare(ui->newAccountPage, nullptr);
    prepare(ui->connectingPage, [this] {
        ui->connecting_message->setTextFormat(Qt::PlainText);
        quiet::runMovieWhileShown(ui->connecting_image, QStringLiteral(":/resources/loader.gif"));
    });
    prepare(ui->connectedPage, [this] { ui->connected_message->setTextFormat(Qt::PlainText); });
}

VelnorMain::~VelnorMain()
{
    PPPDisconnect();
    pppWorker->setRunPending(false);
    pppThread->quit();
    connection::openvpn::launcher(openvpnProcess)->stopForExit();
    // Exit is bounded: an abandoned dial ends its own child processes within
    // seconds. One still running past that is left to the ending process
    // rather than destroyed under its own feet.
    const bool dialerFinished = pppThread->wait(exitWaitMs);
    const bool hungUp = pppWorker->waitForHangUps(exitWaitMs);
    if (dialerFinished && hungUp) {
        delete pppThread;
        delete pppWorker;
    }
    removeOpenVPNfiles();
    delete ui;
    ui = nullptr;

    app::settings::writeStopped();
}
