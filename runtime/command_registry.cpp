// linkAll: the fixed order in which the core and the eleven modules register.
#include "runtime/command_registry.h"

#include "runtime/modules.h"

void linkAll(LinkCallback callback) {
  core_link(callback);
  basic_link(callback);
  math_link(callback);
  string_link(callback);
  stream_link(callback);
  sockets_link(callback);
  filesystem_link(callback);
  bank_link(callback);
  graphics_link(callback);
  input_link(callback);
  audio_link(callback);
  multiplay_link(callback);
}
