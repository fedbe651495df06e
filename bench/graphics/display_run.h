// A run's host and the graphics module with one display open, for the benchmarks that
// go through the graphics commands.
#pragma once

#include "basic/ks_error.h"
#include "graphics/graphics_commands.h"
#include "host/sys_runtime.h"
#include "runtime/modules.h"

struct DisplayRun {
    DisplayRun(int32_t width, int32_t height, int32_t depth, int32_t mode) {
        runtime = sysRuntime::create(nullptr, "", nullptr, 0);
        currentRuntime = runtime;
        graphics_create();
        gfxcmd::graphics(width, height, depth, mode);
    }
    ~DisplayRun() {
        graphics_destroy();
        currentRuntime = nullptr;
        sysRuntime::destroy(runtime);
    }
    DisplayRun(const DisplayRun&) = delete;
    DisplayRun& operator=(const DisplayRun&) = delete;
    sysRuntime* runtime = nullptr;
};
