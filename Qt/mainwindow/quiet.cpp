#include "mainwindow/quiet.h"

#include "mainwindow/desktop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleHints>
#include <QTabWidget>
#include <QTimer>
#include <QVector>

#include <algorithm>

// Qt's blur, the one its drop shadow effect uses (exported by Qt Widgets).
QT_BEGIN_NAMESPACE
extern Q_WIDGETS_EXPORT void qt_blurImage(
    QPainter* p, QImage& blurImage, qreal radius, bool quality, bool alphaOnly, int transposed = 0);
QT_END_NAMESPACE

namespace {

// Runs a label's animation only while the label can be seen. A running movie
// wakes the program for every frame even when nothing shows it: on a hidden
// page, behind a hidden label or with the window minimised. The label's show
// and hide events follow all of these.
class MovieWhileShown : public QObject {
public:
    MovieWhileShown(QLabel* label, const QString& file)
        : QObject(label)
        , movie(new QMovie(desktop::pictureForScreen(file), QByteArray(), label))
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
//
// The frame's body is opaque and always shown: beneath it the shadow can
// never be seen, and its alpha there is whole whatever its widgets draw. So
// only the band around the body is kept and drawn, and only the parts that
// stand out of the body are rendered. While none does, the frame's alpha is
// the body's rectangle alone, and that shadow is made once and kept.
class FrameShadow : public QObject {
public:
    FrameShadow(QWidget* window, QWidget* frame, QWidget* body)
        : QObject(frame)
        , window(window)
        , frame(frame)
        , body(body)
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
            else if (event->type() == QEvent::Paint && !current.isEmpty())
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

    // Pieces of the shadow, placed relative to the frame's top left corner.
    struct Piece {
        QPoint at;
        QImage image;
    };
    using Band = QVector<Piece>;

    void invalidate()
    {
        if (rendering || current.isEmpty())
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
        if (!stale && !current.isEmpty())
            return;
        const QRegion outside = partsOutsideBody();
        if (outside.isEmpty()) {
            if (plain.isEmpty() || plainFrame != frame->size() || plainBody != body->geometry()) {
                plain = render(QRegion());
                plainFrame = frame->size();
                plainBody = body->geometry();
            }
            current = plain;
        } else {
            current = render(outside);
        }
        stale = false;
        for (QWidget* part : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            shownParts.insert(part, !part->isHidden());
        window->update();
    }

    // What the shown parts draw outside the body, in the frame's coordinates.
    QRegion partsOutsideBody() const
    {
        QRegion outside;
        for (QWidget* part : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!part->isHidden() && !body->geometry().contains(part->geometry()))
                outside += QRegion(part->geometry()) - body->geometry();
        }
        return outside;
    }

    void paint(const QRegion& region)
    {
        QPainter painter(window);
        painter.setClipRegion(region);
        const QPoint origin = frame->mapTo(window, QPoint(0, 0));
        for (const Piece& piece : qAsConst(current))
            painter.drawImage(origin + piece.at, piece.image);
    }

    // As QPixmapDropShadowFilter: the frame's alpha, padded by the radius,
    // blurred, and tinted with the effect's default colour; kept only around
    // the body.
    Band render(const QRegion& outside)
    {
        const QPoint offset(radius, radius);
        QImage padded(frame->size() + QSize(2 * radius, 2 * radius), QImage::Format_ARGB32_Premultiplied);
        padded.fill(0);
        if (!outside.isEmpty()) {
            // Rendered as the effect renders its source: the widgets alone.
            rendering = true;
            // The region's top left corner lands on the given point.
            frame->render(&padded, offset + outside.boundingRect().topLeft(), outside, QWidget::DrawChildren);
            rendering = false;
        }
        const QRect inner = body->geometry().translated(offset);
        {
            QPainter painter(&padded);
            painter.fillRect(inner, Qt::black);
        }
        const QRegion band = QRegion(padded.rect()) - inner;
        QImage blurred(padded.size(), QImage::Format_ARGB32_Premultiplied);
        blurred.fill(0);
        {
            QPainter painter(&blurred);
            painter.setClipRegion(band);
            qt_blurImage(&painter, padded, radius, false, true);
            painter.resetTransform();
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(blurred.rect(), QColor(63, 63, 63, 180));
        }
        Band pieces;
        for (const QRect& rect : band)
            pieces.append({ rect.topLeft() - offset, blurred.copy(rect) });
        return pieces;
    }

    QWidget* window;
    QWidget* frame;
    QWidget* body;
    Band current;
    // The shadow of the body alone, and the frame and body it was made for.
    Band plain;
    QSize plainFrame;
    QRect plainBody;
    // Which parts were shown when the shadow was made.
    QHash<QObject*, bool> shownParts;
    bool stale = false;
    bool queued = false;
    bool rendering = false;
};

// Holds back the polish of a hidden page's widgets (their style-sheet rules,
// fonts, palettes and the pictures the rules name) until something in the
// page is first shown. Showing the window polishes every widget in it,
// hidden or not. The first widget of the page to be shown gets its show
// event before any of the page is laid out or painted; the whole page is
// polished then, parents first, as the window would have done.
class PolishWhenShown : public QObject {
public:
    explicit PolishWhenShown(QWidget* page)
        : QObject(page)
    {
        held.append(page);
        for (QWidget* widget : page->findChildren<QWidget*>())
            held.append(widget);
        for (QWidget* widget : qAsConst(held))
            widget->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Polish)
            return true;
        if (event->type() == QEvent::Show)
            release();
        return false;
    }

private:
    void release()
    {
        for (QWidget* widget : qAsConst(held)) {
            if (widget)
                widget->removeEventFilter(this);
        }
        for (QWidget* widget : qAsConst(held)) {
            if (!widget)
                continue;
            QEvent polish(QEvent::Polish);
            QCoreApplication::sendEvent(widget, &polish);
        }
        held.clear();
        deleteLater();
    }

    QList<QPointer<QWidget>> held;
};

// Eats, application-wide, the polish of every widget and keeps a note of it.
class PolishEater : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Polish || !watched->isWidgetType())
            return false;
        eaten.append(static_cast<QWidget*>(watched));
        return true;
    }

    // Widgets come parents first, as the window would have polished them.
    void polishUnheld()
    {
        for (QWidget* widget : qAsConst(eaten)) {
            if (!widget || heldWhenShown(widget))
                continue;
            QEvent polish(QEvent::Polish);
            QCoreApplication::sendEvent(widget, &polish);
        }
    }

private:
    static bool heldWhenShown(QWidget* widget)
    {
        for (QWidget* each = widget; each; each = each->parentWidget()) {
            const QObjectList& children = each->children();
            if (std::any_of(children.begin(), children.end(),
                    [](QObject* child) { return dynamic_cast<PolishWhenShown*>(child) != nullptr; }))
                return true;
        }
        return false;
    }

    QList<QPointer<QWidget>> eaten;
};

// Marks an opaque widget as painting every pixel itself. A style sheet with
// padding clears the mark whenever it polishes the widget, which happens
// before the widget is shown and before it is told its style changed.
class PaintAlone : public QObject {
public:
    explicit PaintAlone(QWidget* widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::StyleChange)
            static_cast<QWidget*>(watched)->setAttribute(Qt::WA_OpaquePaintEvent);
        return false;
    }
};

// Watches the whole program's input: a caret blinks while the user works,
// and only wakes the program twice a second for nothing while they do not.
class CaretBlinkTimeout : public QObject {
public:
    CaretBlinkTimeout(QObject* owner, int timeoutMs)
        : QObject(owner)
    {
        rest.setSingleShot(true);
        rest.setInterval(timeoutMs);
        connect(&rest, &QTimer::timeout, this, &CaretBlinkTimeout::stop);
        QCoreApplication::instance()->installEventFilter(this);
        rest.start();
    }

    ~CaretBlinkTimeout() override { resume(); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
        case QEvent::InputMethod:
            resume();
            rest.start();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Line edits follow the style hint at once: a flash time of 0 leaves
    // their caret shown and still.
    void stop()
    {
        flashTime = QGuiApplication::styleHints()->cursorFlashTime();
        if (flashTime > 0)
            QGuiApplication::styleHints()->setCursorFlashTime(0);
    }

    void resume()
    {
        if (flashTime > 0)
            QGuiApplication::styleHints()->setCursorFlashTime(flashTime);
        flashTime = 0;
    }

    QTimer rest;
    int flashTime = 0; // the blink's while stopped, else 0
};

} // namespace

void quiet::stopCaretBlinkAfter(QObject* owner, int timeoutMs) { new CaretBlinkTimeout(owner, timeoutMs); }

void quiet::runMovieWhileShown(QLabel* label, const QString& file) { new MovieWhileShown(label, file); }

void quiet::drawFrameShadow(QWidget* window, QWidget* frame, QWidget* body) { new FrameShadow(window, frame, body); }

void quiet::paintAlone(QWidget* opaque) { new PaintAlone(opaque); }

void quiet::polishWhenShown(QWidget* page) { new PolishWhenShown(page); }

quiet::PolishHold::PolishHold()
    : filter(new PolishEater)
{
    QCoreApplication::instance()->installEventFilter(filter);
}

quiet::PolishHold::~PolishHold()
{
    QCoreApplication::instance()->removeEventFilter(filter);
    static_cast<PolishEater*>(filter)->polishUnheld();
    delete filter;
}
