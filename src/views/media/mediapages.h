// The media and file pages: for now the file system.
#pragma once

class PageRegistry;

void registerMediaPages(PageRegistry& pages);
