// The sockets module's create, destroy and link routines. Its commands are not built
// yet: it registers nothing and creates nothing, so the module order stays fixed.
#include "runtime/modules.h"

bool sockets_create() { return true; }
void sockets_destroy() {}
void sockets_link(LinkCallback) {}
