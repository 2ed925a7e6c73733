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
    const int firstReturn = text.indexOf(QLatin1Char('\r'));
    auto* const data = reinterpret_cast<char16_t*>(text.data());
    // Every break before the first "\r" is one character that becomes
    // another: one pass the compiler can vectorise.
    const int simple = firstReturn < 0 ? text.size() : firstReturn;
    for (int at = 0; at < simple; ++at) {
        const char16_t c = data[at];
        const bool lineEnd = c == u'\n' || c == QChar::ParagraphSeparator || c == 0xfdd0 || c == 0xfdd1;
        data[at] = lineEnd ? char16_t(QChar::LineSeparator) : c;
    }
    if (firstReturn < 0)
        return;
    // From there on "\r\n" is one break: the text shortens.
    char16_t* out = data + firstReturn;
    const char16_t* const stop = data + text.size();
    for (const char16_t* in = out; in != stop; ++in) {
        switch (*in) {
        case u'\r':
            if (in + 1 != stop && in[1] == u'\n')
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
