#include "mainwindow/lists.h"

#include <QComboBox>

namespace lists {

int TextList::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : items.size(); }

QVariant TextList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= items.size())
        return QVariant();
    const Item& item = items.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return item.text;
    if (role == Qt::UserRole)
        return item.data;
    return QVariant();
}

bool TextList::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= items.size())
        return false;
    Item& item = items[index.row()];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        item.text = value.toString();
    else if (role == Qt::UserRole)
        item.data = value;
    else
        return false;
    emit dataChanged(index, index, { role });
    return true;
}

bool TextList::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row > items.size() || count < 1)
        return false;
    beginInsertRows(parent, row, row + count - 1);
    items.insert(row, count, Item());
    endInsertRows();
    return true;
}

bool TextList::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > items.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    items.remove(row, count);
    if (items.isEmpty())
        items.squeeze();
    endRemoveRows();
    return true;
}

void TextList::append(QVector<Item> more)
{
    if (more.isEmpty())
        return;
    beginInsertRows(QModelIndex(), items.size(), items.size() + more.size() - 1);
    if (items.isEmpty())
        items = std::move(more);
    else
        items += more;
    items.squeeze();
    endInsertRows();
}

void useTextList(QComboBox* box)
{
    QVector<Item> held;
    for (int index = 0; index < box->count(); ++index)
        held.append({ box->itemText(index), box->itemData(index) });
    const int current = box->currentIndex();
    const bool blocked = box->blockSignals(true);
    auto* list = new TextList(box);
    list->append(std::move(held));
    box->setModel(list);
    box->setCurrentIndex(current);
    box->blockSignals(blocked);
}

void append(QComboBox* box, QVector<Item> items)
{
    if (auto* list = qobject_cast<TextList*>(box->model())) {
        list->append(std::move(items));
        return;
    }
    for (const Item& item : qAsConst(items))
        box->addItem(item.text, item.data);
}

} // namespace lists
