// The movie commands. Movie handles are looked up in the display's set of open movies
// in every mode: a handle it did not issue, or one already closed, answers 0 and draws
// nothing, without an error.
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/sys_graphics.h"
#include "graphics/sys_movie.h"
#include "runtime/entry.h"

namespace {

GraphicsState& g = graphicsState;

sysMovie* knownMovie(int32_t movie) {
    return g.display ? g.display->verifyMovie(uint32_t(movie)) : nullptr;
}

}  // namespace

namespace gfxcmd {

int32_t openMovie(ksStr* file) {
    const std::string name = ksStrTake(file);
    return g.display ? int32_t(handleOf(g.display->openMovie(name))) : 0;
}

int32_t drawMovie(int32_t movie, int32_t x, int32_t y, int32_t w, int32_t h) {
    sysMovie* const known = knownMovie(movie);
    int32_t result = 0;
    if (known && g.buffer) {
        result = known->draw(*g.buffer, x, y, w < 0 ? known->width() : w, h < 0 ? known->height() : h,
                             pumpOrEnd) ? 1 : 0;
    }
    pumpOrEnd();
    return result;
}

int32_t movieWidth(int32_t movie) {
    const sysMovie* known = knownMovie(movie);
    return known ? known->width() : 0;
}

int32_t movieHeight(int32_t movie) {
    const sysMovie* known = knownMovie(movie);
    return known ? known->height() : 0;
}

int32_t moviePlaying(int32_t movie) {
    const sysMovie* known = knownMovie(movie);
    return known && known->playing() ? 1 : 0;
}

void closeMovie(int32_t movie) {
    if (g.display) {
        g.display->closeMovie(uint32_t(movie));
    }
}

}  // namespace gfxcmd

void movie_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("%OpenMovie$file", ksEntry<&openMovie>());
    callback("%DrawMovie%movie%x=0%y=0%w=-1%h=-1", ksEntry<&drawMovie>());
    callback("%MovieWidth%movie", ksEntry<&movieWidth>());
    callback("%MovieHeight%movie", ksEntry<&movieHeight>());
    callback("%MoviePlaying%movie", ksEntry<&moviePlaying>());
    callback("CloseMovie%movie", ksEntry<&closeMovie>());
}
