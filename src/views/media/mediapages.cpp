#include "mediapages.h"

#include "shell/pageregistry.h"
#include "views/media/filesysmainform.h"
#include "views/media/musicmainform.h"
#include "views/media/photosmainform.h"
#include "views/media/playlistmainform.h"
#include "views/media/recordingmainform.h"

void registerMediaPages(PageRegistry& pages)
{
    pages.add<FileSysMainForm>(NAV_FILESYS);
    pages.add<PhotosMainForm>(NAV_PHOTOS, NAV_VIDEOS);
    pages.add<MusicMainForm>(NAV_MUSIC, NAV_RINGTONES);
    pages.add<PlaylistMainForm>(NAV_PLAYLISTS);
    pages.add<RecordingMainForm>(NAV_RECORDING);
}
