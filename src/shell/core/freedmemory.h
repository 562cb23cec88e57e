// Memory that finished work freed, given back to the system.
//
// The allocator keeps what a thread frees for later allocations instead of
// returning it: after a job whose peak was large (a page cache filled by a
// read of the whole message store, the keys of every message a transfer
// compares) the application would keep that peak in its resident set for
// the rest of its life, although nothing uses it.
#pragma once

namespace freedmemory {

// Sets the allocator up to keep little of what is freed: blocks of 4 MiB
// and more get mappings of their own, which go back when freed, and a heap
// returns its free end beyond 4 MiB. Left to itself, the allocator raises
// both limits as large blocks come and go, up to where a thread's heap
// never returns its free end (which giveBack() does not reach either).
// Called once at start, before other threads run.
void keepLittle();

// Returns the free pages the allocator holds inside its heaps to the
// system. Takes a few milliseconds: call it when work has ended (the main
// window does when no modal work runs any more), not in a loop.
void giveBack();

} // namespace freedmemory
