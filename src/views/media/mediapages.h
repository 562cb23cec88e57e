// The media and file pages.
#pragma once

class PageRegistry;

void registerMediaPages(PageRegistry& pages);
