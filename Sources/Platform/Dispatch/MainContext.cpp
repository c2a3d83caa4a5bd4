#include "Platform/Dispatch/MainContext.hpp"

#include <glib.h>

namespace orvane {

GMainContext* mainContext() {
    static GMainContext* const context = g_main_context_default();
    return context;
}

}  // namespace orvane
