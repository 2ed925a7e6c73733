#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVariant>
#include <QVector>

class QComboBox;

// Drop-down lists whose items are only a text and an item data. QComboBox's
// own model keeps an object with a table of roles for every item, some
// hundreds of bytes each: a catalogue of thousands of servers made the
// server list weigh more than the servers' names.
namespace lists {

struct Item {
    QString text;
    QVariant data; // Qt::UserRole
};

class TextList : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // One insertion for all: the list and its box hear of it once.
    void append(QVector<Item> items);

private:
    QVector<Item> items;
};

// Gives `box` a TextList with the items it holds.
void useTextList(QComboBox* box);

// Appends `items` to `box`, at once when it has a TextList. The first item
// put into an empty box becomes current, as with addItem().
void append(QComboBox* box, QVector<Item> items);

} // namespace lists
