#pragma once
// Arrays the bad pixel editor lends to the command executor with its table requests.
//
// The executor works on them on its own thread after the request has been queued, so an array
// must not be freed before the request's result has come back, even when the page that lent it
// is gone by then. Arrays made here are tracked: release() frees one when its result is handled;
// whatever is still tracked when the process ends (a result that never came back) is freed then.
//
// Arrays that the executor frees itself (the index array of a pixel read, both arrays of a pixel
// write) are plain new int[] and are not made here.

namespace BadPixelTransfer {

// A zero-filled array of nInts ints, tracked; null when out of memory or nInts < 1.
int* allocate(int nInts);
// Frees a tracked array and returns true; an array that is not tracked is left alone (false).
bool release(int* pArray);
bool isTracked(const int* pArray);
// Arrays tracked right now (for tests).
int trackedCount();

} // namespace BadPixelTransfer
