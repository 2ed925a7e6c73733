#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

// Answers message boxes while a slot waits in their exec(), and records what
// each box showed. Answers are used in order; once they run out the box's
// escape button (or No, or the first button) is pressed.
class DialogDriver : public QObject {
    Q_OBJECT

public:
    struct Box {
        QString title;
        QString text;
        Qt::TextFormat format = Qt::AutoText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::WindowFlags flags;
        bool hasParent = false;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };

    explicit DialogDriver(QObject* parent = nullptr);
    ~DialogDriver() override;

    void answer(QMessageBox::StandardButton button) { answers.append(button); }
    const QList<Box>& boxes() const { return seen; }
    Box last() const { return seen.isEmpty() ? Box() : seen.last(); }

    // Closes any box still open, e.g. from a test that failed half-way.
    static void closeOpenBoxes();

private:
    void poll();
    static QMessageBox* openBox();

    QTimer timer;
    QList<QMessageBox::StandardButton> answers;
    QList<Box> seen;
    QList<QPointer<QMessageBox>> handled;
};
