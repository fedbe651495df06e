// The multiplay module's create, destroy and link routines. Its commands are not built
// yet: it registers nothing and creates nothing, so the module order stays fixed.
#include "runtime/modules.h"

bool multiplay_create() { return true; }
void multiplay_destroy() {}
void multiplay_link(LinkCallback) {}
