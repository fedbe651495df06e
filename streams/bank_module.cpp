// The bank module's create, destroy and link routines. Its commands are not built
// yet: it registers nothing and creates nothing, so the module order stays fixed.
#include "runtime/modules.h"

bool bank_create() { return true; }
void bank_destroy() {}
void bank_link(LinkCallback) {}
