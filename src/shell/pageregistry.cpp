#include "pageregistry.h"

AbsMainForm* PageRegistry::create(int kind, Node* source, Node* devicesRoot, QWidget* parent,
                                  const BackupFinished& onBackupFinished) const
{
    const auto it = m_factories.constFind(kind);
    if (it == m_factories.constEnd())
        return nullptr;
    return (*it)(kind, source, devicesRoot, parent, onBackupFinished);
}
