// The contacts page.
#pragma once

class PageRegistry;

void registerContactsPages(PageRegistry& pages);
