#pragma once

#include <QByteArray>

namespace tarv {

// What the process sets in its own environment before Qt starts, so that it runs the same
// whoever starts it and from whatever session. Each step leaves a choice the user made alone.

// The web engine refuses to start with its sandbox as root (it aborts the process); the
// sandbox cannot work there anyway, so a root process switches it off itself. A helper
// process that hosts the engine calls this too, before the engine starts.
void allowWebEngineAsRoot(unsigned effectiveUid);
void allowWebEngineAsRoot();

// On a Wayland session a client may neither place its windows nor read the pointer's global
// position, which centring, dragging and the chart's grouping rely on. Where XWayland is there
// too (DISPLAY set) and the user chose no platform, the program runs on it.
void preferXWayland();

// Both of the above; the program calls it first thing in main.
void prepareProcessEnvironment();

} // namespace tarv
