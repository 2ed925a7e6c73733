#include "mainwindow/form.h"

#include <QEvent>
#include <QHash>
#include <QMainWindow>
#include <QMetaMethod>
#include <QVector>

#include <algorithm>

void form::LatePage::attach(QWidget* holder, QObject* window, std::function<void(QWidget*)> make)
{
    box = holder;
    receiver = window;
    setParent(holder);
    holder->installEventFilter(this);
    build = std::move(make);
}

bool form::LatePage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == box && event->type() == QEvent::Show && !made) {
        make();
        // Made under a shown holder: show what the form did not hide, as
        // showing the holder would have.
        for (QWidget* part : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!part->testAttribute(Qt::WA_WState_ExplicitShowHide))
                part->show();
        }
    }
    return false;
}

void form::LatePage::whenMade(std::function<void()> prepare) { prepared = std::move(prepare); }

void form::LatePage::make()
{
    if (made)
        return;
    // Set first: what prepares the page reaches its widgets through `ui`.
    made = true;
    box->removeEventFilter(this);
    build(box);
    connectSlotsByName(receiver, box);
    if (prepared)
        prepared();
}

void form::makeLatePages(QWidget* window)
{
    for (LatePage* page : window->findChildren<LatePage*>())
        page->make();
}

namespace {

// The signal of `object` that `slot` names after the object's name: the one
// with exactly the slot's parameters, else the first of that name whose
// parameters begin with the slot's.
QMetaMethod signalFor(const QObject* object, const QMetaMethod& slot, const QByteArray& signature)
{
    const QMetaObject* meta = object->metaObject();
    const int exact = meta->indexOfSignal(signature.constData());
    if (exact >= 0)
        return meta->method(exact);
    const QByteArray name = signature.left(signature.indexOf('('));
    for (int index = 0; index < meta->methodCount(); ++index) {
        const QMetaMethod signal = meta->method(index);
        if (signal.methodType() == QMetaMethod::Signal && signal.name() == name
            && QMetaObject::checkConnectArgs(signal, slot))
            return signal;
    }
    return QMetaMethod();
}

} // namespace

void form::connectSlotsByName(QObject* receiver, QObject* root)
{
    QObjectList objects { root };
    objects += root->findChildren<QObject*>();
    // Where each name stands in that order: of two objects whose names both
    // fit a slot, the first takes it.
    QHash<QByteArray, QVector<int>> positions;
    for (int at = 0; at < objects.size(); ++at) {
        const QByteArray name = objects.at(at)->objectName().toLatin1();
        if (!name.isEmpty())
            positions[name].append(at);
    }
    const QMetaObject* meta = receiver->metaObject();
    for (int index = 0; index < meta->methodCount(); ++index) {
        const QMetaMethod slot = meta->method(index);
        const QByteArray signature = slot.methodSignature();
        if (slot.methodType() != QMetaMethod::Slot || !signature.startsWith("on_"))
            continue;
        // "on_<name>_<signal>": a name may hold '_' itself, so every split.
        const int parameters = signature.indexOf('(');
        QVector<int> candidates;
        for (int split = signature.indexOf('_', 4); split > 0 && split < parameters;
             split = signature.indexOf('_', split + 1))
            candidates += positions.value(signature.mid(3, split - 3));
        std::sort(candidates.begin(), candidates.end());
        for (const int at : qAsConst(candidates)) {
            QObject* const object = objects.at(at);
            const int signalStart = 3 + object->objectName().size() + 1;
            const QMetaMethod signal = signalFor(object, slot, signature.mid(signalStart));
            if (signal.isValid()) {
                QObject::connect(object, signal, receiver, slot);
                break;
            }
        }
    }
}

void Ui::VelnorMain::setupUi(QMainWindow* window)
{
    Ui_VelnorMainFrame::setupUi(window);
    form::connectSlotsByName(window, window);
    signedInPage.attach(Ui_VelnorMainFrame::WingetConnected, window,
        [this](QWidget* holder) { signedInForm.setupUi(static_cast<QTabWidget*>(holder)); });
    newAccountPage.attach(
        Ui_VelnorMainFrame::WidgetNewAccount, window, [this](QWidget* holder) { newAccountForm.setupUi(holder); });
    connectingPage.attach(
        Ui_VelnorMainFrame::WidgetConnectingVPN, window, [this](QWidget* holder) { connectingForm.setupUi(holder); });
    connectedPage.attach(
        Ui_VelnorMainFrame::WidgetConnectedVPN, window, [this](QWidget* holder) { connectedForm.setupUi(holder); });
    xmlResponsePage.attach(tab_2, window, [this](QWidget* holder) { xmlResponseForm.setupUi(holder); });
    logsPage.attach(tab_3, window, [this](QWidget* holder) { logsForm.setupUi(holder); });
    userDataPage.attach(tab_4, window, [this](QWidget* holder) { userDataForm.setupUi(holder); });
}

void Ui::VelnorMain::retranslateUi(QMainWindow* window)
{
    Ui_VelnorMainFrame::retranslateUi(window);
    if (signedInPage.isMade())
        signedInForm.retranslateUi(Ui_VelnorMainFrame::WingetConnected);
    if (newAccountPage.isMade())
        newAccountForm.retranslateUi(Ui_VelnorMainFrame::WidgetNewAccount);
    if (connectingPage.isMade())
        connectingForm.retranslateUi(Ui_VelnorMainFrame::WidgetConnectingVPN);
    if (connectedPage.isMade())
        connectedForm.retranslateUi(Ui_VelnorMainFrame::WidgetConnectedVPN);
    // The documents' pages have no texts of their own.
}
