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
// break instead, in place. toPlainText() gives a line feed for either, so the
// plain text stays the same, while the document keeps one block instead of
// one per line: a catalogue of some 100,000 lines spent most of its storing
// time on block bookkeeping.
void useLineBreaks(QString& text)
{
    const auto breaksNothing = [](char16_t c) { return c > u'\r' && c < QChar::LineSeparator; };
    const auto isBreak = [](char16_t c) {
        return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == 0xfdd0 || c == 0xfdd1;
    };
    const QChar* const begin = text.constData();
    const QChar* first = begin;
    while (first != begin + text.size() && (breaksNothing(first->unicode()) || !isBreak(first->unicode())))
        ++first;
    if (first == begin + text.size())
        return;
    // Only now, when there is something to change. Every break but "\r\n"
    // is one character that becomes another.
    QChar* const data = text.data();
    QChar* const stop = data + text.size();
    QChar* each = data + (first - begin);
    for (; each != stop; ++each) {
        const char16_t c = each->unicode();
        if (breaksNothing(c))
            continue;
        if (c == u'\r')
            break;
        if (isBreak(c))
            *each = QChar::LineSeparator;
    }
    if (each == stop)
        return;
    // From the first "\r" on the text may shorten.
    QChar* out = each;
    for (const QChar* in = each; in != stop; ++in) {
        switch (in->unicode()) {
        case u'\r':
            if (in + 1 != stop && in[1] == QLatin1Char('\n'))
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
    text.truncate(int(out - data));
}
} // namespace

void service::storeDocumentText(QTextDocument* document, QString text)
{
    if (!dynamic_cast<UnlaidLayout*>(document->documentLayout()))
        document->setDocumentLayout(new UnlaidLayout(document));
    useLineBreaks(text);
    document->setPlainText(text);
}
