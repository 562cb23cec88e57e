// Work of many independent items spread over every core, with a caller
// that stays able to hear a cancel.
#pragma once

#include <atomic>
#include <functional>

namespace everycore {

// Runs work(i, stop) for every i below count on the cores of the machine.
// checkCanceled is called on the caller's thread every few milliseconds;
// what it throws sets stop (work under way should look at it and end
// soon), waits for the work under way and goes on to the caller; no item
// starts after it. progress, when given, hears on the caller's thread how
// many items are done of how many. An exception thrown by an item stops
// the run as a cancel does and is thrown on to the caller (the first one,
// when several items throw; std::bad_alloc as a std::runtime_error that
// says memory ran out).
void run(int count, const std::function<void(int index, const std::atomic_bool& stop)>& work,
         const std::function<void()>& checkCanceled, const std::function<void(int done, int total)>& progress = {});

} // namespace everycore
