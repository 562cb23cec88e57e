#include "absrecordpage.h"

#include "shell/mytreeview.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QLabel>

AbsRecordPage::AbsRecordPage(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
{
}

void AbsRecordPage::setRecordList(MyTreeView* list, QLabel* count, QAbstractItemModel* model)
{
    m_list = list;
    m_count = count;
    m_list->setModel(model);
}

bool AbsRecordPage::hasSelectedRows() const
{
    return m_list && m_list->selectionModel() && m_list->selectionModel()->hasSelection();
}

bool AbsRecordPage::hasSelection(int) const
{
    return m_list && m_list->selectionModel() && !m_list->selectionModel()->selectedRows(0).isEmpty();
}
