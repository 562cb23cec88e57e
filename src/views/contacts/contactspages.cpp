#include "contactspages.h"

#include "shell/pageregistry.h"
#include "views/contacts/contactsmainform.h"

void registerContactsPages(PageRegistry& pages)
{
    pages.add<ContactsMainForm>(NAV_CONTACTS);
}
