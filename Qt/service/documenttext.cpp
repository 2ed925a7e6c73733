#include "service/documenttext.h"

#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

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

// Every paragraph break that setPlainText() would make of the text ("\r\n",
// "\r", "\n", the paragraph separator and the frame markers) as a line
// break instead. toPlainText() gives a line feed for either, so the plain
// text stays the same, while the document keeps one block instead of one
// per line: a catalogue of some 100,000 lines spent most of its storing time
// on block bookkeeping.
QString withLineBreaks(const QString& text)
{
    QString result(text.size(), Qt::Uninitialized);
    QChar* out = result.data();
    const QChar* const begin = out;
    const QChar* in = text.constData();
    const QChar* const end = in + text.size();
    for (; in != end; ++in) {
        switch (in->unicode()) {
        case u'\r':
            if (in + 1 != end && in[1] == QLatin1Char('\n'))
                ++in;
            *out++ = QChar::LineSeparator;
            break;
        case u'\n':
        case QChar::ParagraphSeparator:
        case 0xfdd0: // frame start and end markers
        case 0xfdd1:
            *out++ = QChar::LineSeparator;
            break;
        default:
            *out++ = *in;
            break;
        }
    }
    result.truncate(int(out - begin));
    return result;
}
} // namespace

void service::storeDocumentText(QTextDocument* document, const QString& text)
{
    if (!dynamic_cast<UnlaidLayout*>(document->documentLayout()))
        document->setDocumentLayout(new UnlaidLayout(document));
    document->setPlainText(withLineBreaks(text));
}
