#include "mediapages.h"

#include "shell/pageregistry.h"
#include "views/media/filesysmainform.h"
#include "views/media/musicmainform.h"

void registerMediaPages(PageRegistry& pages)
{
    pages.add<FileSysMainForm>(NAV_FILESYS);
    pages.add<MusicMainForm>(NAV_MUSIC, NAV_RINGTONES);
}
