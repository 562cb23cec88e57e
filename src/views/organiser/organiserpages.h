// The organiser pages: call history, calendar, bookmarks, notes, voicemail.
#pragma once

class PageRegistry;

void registerOrganiserPages(PageRegistry& pages);
