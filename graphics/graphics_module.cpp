// The graphics module's create, destroy and link routines. Its commands are not built
// yet: it registers nothing and creates nothing, so the module order stays fixed.
#include "runtime/modules.h"

bool graphics_create() { return true; }
void graphics_destroy() {}
void graphics_link(LinkCallback) {}
