// One edit of one contact data row, as the contact editor reports it and the
// contacts page and the change sender apply it.
#pragma once

#include "records/contact.h"

struct ContactChange {
    enum Action { ACTION_ADDED = 1, ACTION_UPDATED = 2, ACTION_DELETED = 3 };

    ContactChange() = default;
    ContactChange(int entityType, int action, const pim::ContactDataRow& row)
        : entityType(entityType)
        , action(action)
        , row(row)
    {
    }

    int entityType = 0; // the row's data type (pim::ENTITY_*)
    int action = ACTION_ADDED;
    pim::ContactDataRow row; // the row as edited; id 0 for a row not yet stored
};
