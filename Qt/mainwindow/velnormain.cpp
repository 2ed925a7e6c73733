#include "mainwindow/velnormain.h"
#include "ui_velnormain.h"

#include "app/identity.h"
#include "app/settings.h"
#include "connection/openvpn.h"
#include "connection/pppworker.h"
#include "mainwindow/pages.h"
#include "mainwindow/windowflags.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QPaintEvent>
#include <QPainter>
#include <QProcess>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

// Qt's blur, the one its drop shadow effect uses (exported by Qt Widgets).
QT_BEGIN_NAMESPACE
extern Q_WIDGETS_EXPORT void qt_blurImage(
    QPainter* p, QImage& blurImage, qreal radius, bool quality, bool alphaOnly, int transposed = 0);
QT_END_NAMESPACE

namespace {
constexpr int exitWaitMs = 5000;

// Runs a label's animation only while the label can be seen. A running movie
// wakes the program for every frame even when nothing shows it: on a hidden
// page, behind a hidden label or with the window minimised. The label's show
// and hide events follow all of these.
class MovieWhileShown : public QObject {
public:
    MovieWhileShown(QLabel* label, const QString& file)
        : QObject(label)
        , movie(new QMovie(file, QByteArray(), label))
    {
        label->setMovie(movie);
        label->installEventFilter(this);
        if (label->isVisible())
            movie->start();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            movie->start(); // also resumes a paused one
        else if (event->type() == QEvent::Hide)
            movie->setPaused(true);
        return QObject::eventFilter(watched, event);
    }

private:
    QMovie* movie;
};

// The frame's drop shadow, drawn beneath the frame's widgets exactly as a
// QGraphicsDropShadowEffect with the same settings draws it. The effect
// renders every widget of the frame again and blurs the result on any change,
// even a caret blink; the shadow only depends on where the frame is
// transparent, which changes only when one of its parts is shown, hidden,
// moved or resized, or a tab changes. It is drawn on the window, beneath the
// frame, and made again outside painting: rendering widgets while one of them
// paints would recurse. A change made again is posted ahead of the repaint
// it causes, which Qt posts at low priority.
class FrameShadow : public QObject {
public:
    FrameShadow(QWidget* window, QWidget* frame)
        : QObject(frame)
        , window(window)
        , frame(frame)
    {
        setObjectName(QStringLiteral("frameShadow"));
        window->installEventFilter(this);
        frame->installEventFilter(this);
        for (QWidget* part : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            part->installEventFilter(this);
            if (auto* tabs = qobject_cast<QTabWidget*>(part))
                connect(tabs, &QTabWidget::currentChanged, this, &FrameShadow::invalidate);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window) {
            if (event->type() == QEvent::Show)
                refresh();
            else if (event->type() == QEvent::Paint && !shadow.isNull())
                paint(static_cast<QPaintEvent*>(event)->region());
            return false;
        }
        if (watched == frame) {
            // Hidden to the tray, the window is made zero-sized.
            if (event->type() == QEvent::Resize)
                invalidate();
            return false;
        }
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
            // Hiding the window to the tray, minimising and restoring hide
            // and show every part without changing what the frame shows:
            // only a part's own visibility counts.
            if (shownParts.value(watched) == static_cast<QWidget*>(watched)->isHidden())
                invalidate();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            invalidate();
            break;
        default:
            break;
        }
        return false;
    }

private:
    static constexpr int radius = 10;

    void invalidate()
    {
        if (rendering || shadow.isNull())
            return; // made when the window is first shown
        stale = true;
        if (queued || !window->isVisible())
            return; // a hidden window's is made when it is shown again
        queued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                queued = false;
                refresh();
            },
            Qt::QueuedConnection);
    }

    void refresh()
    {
        if (!stale && !shadow.isNull())
            return;
        shadow = render();
        stale = false;
        for (QWidget* part : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            shownParts.insert(part, !part->isHidden());
        window->update();
    }

    void paint(const QRegion& region)
    {
        QPainter painter(window);
        painter.setClipRegion(region);
        painter.drawImage(frame->mapTo(window, QPoint(-radius, -radius)), shadow);
    }

    // As QPixmapDropShadowFilter: the frame's alpha, padded by the radius,
    // blurred, and tinted with the effect's default colour.
    QImage render()
    {
        // Rendered as the effect renders its source: the widgets alone.
        QImage padded(frame->size() + QSize(2 * radius, 2 * radius), QImage::Format_ARGB32_Premultiplied);
        padded.fill(0);
        rendering = true;
        frame->render(&padded, QPoint(radius, radius), QRegion(), QWidget::DrawChildren);
        rendering = false;
        QImage blurred(padded.size(), QImage::Format_ARGB32_Premultiplied);
        blurred.fill(0);
        {
            QPainter painter(&blurred);
            qt_blurImage(&painter, padded, radius, false, true);
        }
        QPainter painter(&blurred);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(blurred.rect(), QColor(63, 63, 63, 180));
        return blurred;
    }

    QWidget* window;
    QWidget* frame;
    QImage shadow;
    // Which parts were shown when the shadow was made.
    QHash<QObject*, bool> shownParts;
    bool stale = false;
    bool queued = false;
    bool rendering = false;
};
} // namespace

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

    app::setIdentity();
    app::settings::keepPrivate();
    app::settings::writeHeartbeat(QDateTime::currentMSecsSinceEpoch());
    elapsedSeconds = 0;

    ui->setupUi(this);
    ui->XMLUserData->hide();
    // These show what the service and the IP echo page send, which anyone on
    // the path can change: plain text, never markup or pictures.
    for (QLabel* label : { ui->ip, ui->authstatus, ui->user_name, ui->user_email, ui->user_plan, ui->user_expire,
             ui->user_quota, ui->connecting_title, ui->connecting_message, ui->connected_title, ui->connected_message })
        label->setTextFormat(Qt::PlainText);

    setWindowFlags(windowflags::normal);
    setAttribute(Qt::WA_TranslucentBackground);

    new FrameShadow(this, ui->centralWidget);

    setFixedSize(windowflags::size);

    using app::settings::Preference;
    if (app::settings::preference(Preference::StartMinimized))
        applicationMinimize();

    openvpnProcess = new QProcess(this);

    // Parented to their labels so they are released with the window.
    ui->loading->hide();
    new MovieWhileShown(ui->loading, QStringLiteral(":/resources/loading3.gif"));
    new MovieWhileShown(ui->connecting_image, QStringLiteral(":/resources/loader.gif"));

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

    if (app::settings::preference(Preference::StartWithSystem))
        ui->startWithWindows->setChecked(true);
    if (app::settings::preference(Preference::AutoConnect))
        ui->vpn_auto_connect->setChecked(true);
    if (app::settings::preference(Preference::StartMinimized))
        ui->startMinimized->setChecked(true);
    if (app::settings::preference(Preference::ShowTaskbarIcon))
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
    pppWorker->setRunPending(false);
    pppThread->quit();
    connection::openvpn::stop(openvpnProcess);
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
