// The audio module's create, destroy and link routines. Its commands are not built
// yet: it registers nothing and creates nothing, so the module order stays fixed.
#include "runtime/modules.h"

bool audio_create() { return true; }
void audio_destroy() {}
void audio_link(LinkCallback) {}
