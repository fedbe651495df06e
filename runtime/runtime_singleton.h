// The process's one Runtime object and the stand-alone start-up, as the rest of the
// tree reaches them (the exported C entries forward here).
#pragma once

class Runtime;

Runtime& theRuntime();
[[noreturn]] void runStandalone();
