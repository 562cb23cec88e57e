// Memory that finished work freed, given back to the system.
//
// The allocator keeps what a thread frees for later allocations instead of
// returning it: after a job whose peak was large (a page cache filled by a
// read of the whole message store, the keys of every message a transfer
// compares) the application would keep that peak in its resident set for
// the rest of its life, although nothing uses it.
#pragma once

namespace freedmemory {

// Returns the free pages the allocator holds inside its heaps to the
// system. Takes a few milliseconds: call it when work has ended (the main
// window does when no modal work runs any more), not in a loop.
void giveBack();

} // namespace freedmemory
