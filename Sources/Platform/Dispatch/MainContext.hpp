// mainContext: the GLib default main context, as every part of the platform
// layer reaches it (the main queue, MainLoop, run-loop timers). Internal.
//
// The context is looked up once, behind a C++ static-initialisation guard.
// GLib orders the creation of the context and of its wake-up descriptor
// with its own internal locks, which ThreadSanitizer cannot see; the guard
// gives the thread that made the context and every thread that uses it
// later an order that it can see. Any thread may call it.
#pragma once

typedef struct _GMainContext GMainContext;  // as glib.h declares it; keeps GLib out of this header

namespace orvane {

GMainContext* mainContext();

}  // namespace orvane
