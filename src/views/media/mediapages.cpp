#include "mediapages.h"

#include "shell/pageregistry.h"
#include "views/media/filesysmainform.h"
#include "views/media/photosmainform.h"

void registerMediaPages(PageRegistry& pages)
{
    pages.add<FileSysMainForm>(NAV_FILESYS);
    pages.add<PhotosMainForm>(NAV_PHOTOS, NAV_VIDEOS);
}
