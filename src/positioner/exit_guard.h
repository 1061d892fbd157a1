// Open handles at process exit or library unload: their receive threads
// are stopped before the library's objects are destroyed.
#ifndef POSITIONER_EXIT_GUARD_H
#define POSITIONER_EXIT_GUARD_H

namespace pos {

// Arms, once per process, the exit handler below. Called when a handle
// opens: the handler is registered after every object of the library was
// constructed, so it runs before any of them is destroyed.
void armExitGuard();

// The exit handler: stops the receive loop of every open handle and waits
// for the loops, at most uc::kExitWaitMs in all. A handle whose loop ended and
// whose thread is gone is closed as PositionerClose would close it. Any
// other handle keeps everything its thread may still touch (thread
// object, buffers, wait conditions, device) for the rest of the process:
// on Windows the system ends other threads before the library is unloaded,
// possibly inside a device call, so that device must not be closed.
void closeHandlesAtExit();

}  // namespace pos

#endif
