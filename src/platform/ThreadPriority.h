#pragma once

// Worker threads (loading, preparing, processing) run below normal priority so that the
// window and the rest of the machine stay responsive. Call it on the thread itself.
void LowerCurrentThreadPriority();
