#pragma once

#include <QByteArray>

namespace tarv {

// What the process sets in its own environment before Qt starts, so that it runs the same
// whoever starts it and from whatever session. Each step leaves a choice the user made alone.

// The web engine's sandbox cannot work as root, and the engine refuses to start there with it
// on. Without its sandbox it must not run the banner's pages, which come over plain HTTP: as
// root the light view serves instead, unless TARV_BANNER_ENGINE is "web" (the user's explicit
// choice, which the test suite makes for the engine's own tests).
bool webEngineMayRun(unsigned effectiveUid);
bool webEngineMayRun();
// Where the web engine may run as root (that explicit choice), switches its sandbox off, unless
// the user set QTWEBENGINE_DISABLE_SANDBOX. The helper process that hosts the engine calls this
// too, before the engine starts.
void allowWebEngineAsRoot(unsigned effectiveUid);
void allowWebEngineAsRoot();

// On a Wayland session a client may neither place its windows nor read the pointer's global
// position, which centring, dragging and the chart's grouping rely on. Where XWayland is there
// too (DISPLAY set) and the user chose no platform, the program runs on it.
void preferXWayland();

// Both of the above; the program calls it first thing in main.
void prepareProcessEnvironment();

} // namespace tarv
