// The messages page.
#pragma once

class PageRegistry;

void registerMessagesPages(PageRegistry& pages);
