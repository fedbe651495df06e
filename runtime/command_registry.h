// The registry through which every module makes its commands and internal entries
// known: signature text plus entry address, reported to a LinkCallback.
#pragma once

// A zero-terminated signature with static lifetime ("%KeyDown%key", "_ksStrLoad").
using CommandSignature = const char*;
using LinkCallback = void (*)(CommandSignature signature, void* entry);

// Calls the core registration, then every module's link function, in module order.
void linkAll(LinkCallback callback);
