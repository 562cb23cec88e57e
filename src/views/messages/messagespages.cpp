#include "messagespages.h"

#include "shell/pageregistry.h"
#include "views/messages/smsmainform.h"

void registerMessagesPages(PageRegistry& pages)
{
    pages.add<SMSMainForm>(NAV_SMS);
}
