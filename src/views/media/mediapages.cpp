#include "mediapages.h"

#include "shell/pageregistry.h"
#include "views/media/filesysmainform.h"

void registerMediaPages(PageRegistry& pages)
{
    pages.add<FileSysMainForm>(NAV_FILESYS);
}
