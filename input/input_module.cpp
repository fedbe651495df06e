// The input module's create, destroy and link routines. Its commands are not built
// yet: it registers nothing and creates nothing, so the module order stays fixed.
#include "runtime/modules.h"

bool input_create() { return true; }
void input_destroy() {}
void input_link(LinkCallback) {}
