#include "service/documenttext.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>
#include <QTextEdit>

namespace {
// Lays nothing out and draws nothing.
class UnlaidLayout : public QAbstractTextDocumentLayout {
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;

    void draw(QPainter*, const PaintContext&) override { }
    int hitTest(const QPointF&, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return QSizeF(); }
    QRectF frameBoundingRect(QTextFrame*) const override { return QRectF(); }
    QRectF blockBoundingRect(const QTextBlock&) const override { return QRectF(); }

protected:
    void documentChanged(int, int, int) override { }
};
} // namespace

void service::storeDocumentText(QTextEdit* holder, const QString& text)
{
    QTextDocument* document = holder->document();
    if (!dynamic_cast<UnlaidLayout*>(document->documentLayout()))
        document->setDocumentLayout(new UnlaidLayout(document));
    document->setPlainText(text);
}
