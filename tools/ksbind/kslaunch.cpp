// The launcher of a stand-alone game: the runtime finds the game's module among the
// resources appended to this executable.
#include "runtime/runtime_interface.h"

int main() {
  ksWinMain();
}
