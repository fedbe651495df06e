// The eleven language modules: create, destroy and link routines, in module order.
#pragma once
#include "runtime/command_registry.h"

void core_link(LinkCallback callback);

bool basic_create();
void basic_destroy();
void basic_link(LinkCallback callback);
bool math_create();
void math_destroy();
void math_link(LinkCallback callback);
bool string_create();
void string_destroy();
void string_link(LinkCallback callback);
bool stream_create();
void stream_destroy();
void stream_link(LinkCallback callback);
bool sockets_create();
void sockets_destroy();
void sockets_link(LinkCallback callback);
bool filesystem_create();
void filesystem_destroy();
void filesystem_link(LinkCallback callback);
bool bank_create();
void bank_destroy();
void bank_link(LinkCallback callback);
bool graphics_create();
void graphics_destroy();
void graphics_link(LinkCallback callback);
bool input_create();
void input_destroy();
void input_link(LinkCallback callback);
bool audio_create();
void audio_destroy();
void audio_link(LinkCallback callback);
bool multiplay_create();
void multiplay_destroy();
void multiplay_link(LinkCallback callback);
