// Work shared out over a few threads for the length of one call: the calling
// thread works as thread 0 beside the others, each claiming its items from a
// counter the caller shares among them, and the call returns once every
// thread has returned, so nothing the work wrote is read before it is done.
// A thread that cannot be started leaves its share to the others.
#pragma once
#include <cstdint>

// How many threads to give `items` items: one per logical processor, at most
// `cap` and at most one per item, at least one.
uint32_t workerThreadsFor(uint32_t items, uint32_t cap);

// Runs work(thread) for each thread from 0 to threads - 1 at once, thread 0
// on the calling thread, and returns when all have returned.
void runOnWorkerThreads(uint32_t threads, void (*work)(uint32_t thread));
