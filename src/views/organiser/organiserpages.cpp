#include "organiserpages.h"

#include "shell/pageregistry.h"
#include "views/organiser/bookmarksmainform.h"
#include "views/organiser/calendarmainform.h"
#include "views/organiser/callhistorymainform.h"
#include "views/organiser/notesmainform.h"
#include "views/organiser/voicemailmainform.h"

void registerOrganiserPages(PageRegistry& pages)
{
    pages.add<CallHistoryMainForm>(NAV_CALL_HISTORY);
    pages.add<CalendarMainForm>(NAV_CALENDAR);
    pages.add<BookmarksMainForm>(NAV_BOOKMARKS);
    pages.add<NotesMainForm>(NAV_NOTES);
    pages.add<VoicemailMainForm>(NAV_VOICEMAIL);
}
