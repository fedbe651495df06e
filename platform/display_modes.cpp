// Display drivers and their modes, from SDL's video displays.
#include <SDL.h>

#include <algorithm>
#include <utility>

#include "platform/display.h"

namespace {

struct Size {
  int width;
  int height;
  auto operator<=>(const Size&) const = default;
};

constexpr Size standardSizes[] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
// Offered when a driver reports no usable size (offscreen, dummy).
constexpr Size headlessLimit = {1024, 768};
constexpr int depths[] = {16, 24, 32};

std::vector<Size> reportedSizes(int display) {
  std::vector<Size> sizes;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(display, i, &mode) == 0 && mode.w > 0 && mode.h > 0) {
      sizes.push_back({mode.w, mode.h});
    }
  }
  return sizes;
}

std::vector<DisplayModeInfo> modesOf(int display) {
  std::vector<Size> sizes = reportedSizes(display);
  Size largest = headlessLimit;
  if (!sizes.empty()) {
    largest = *std::max_element(sizes.begin(), sizes.end(), [](const Size& a, const Size& b) {
      return int64_t(a.width) * a.height < int64_t(b.width) * b.height;
    });
  }
  for (const Size& standard : standardSizes) {
    if (standard.width <= largest.width && standard.height <= largest.height) {
      sizes.push_back(standard);
    }
  }
  std::sort(sizes.begin(), sizes.end());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  std::vector<DisplayModeInfo> modes;
  for (const Size& size : sizes) {
    for (const int depth : depths) {
      modes.push_back({size.width, size.height, depth});
    }
  }
  return modes;
}

std::string nameOf(int display) {
  const char* name = SDL_GetDisplayName(display);
  std::string text = name ? name : "";
  return text.empty() ? "Display " + std::to_string(display + 1) : text;
}

}  // namespace

std::vector<DisplayDriverInfo> listDisplayDrivers(bool primaryOnly) {
  std::vector<DisplayDriverInfo> drivers;
  const int count = primaryOnly ? std::min(1, SDL_GetNumVideoDisplays()) : SDL_GetNumVideoDisplays();
  for (int display = 0; display < count; ++display) {
    drivers.push_back({nameOf(display), modesOf(display)});
  }
  return drivers;
}

SurfaceFormat desktopSurfaceFormat() {
  return SurfaceFormat::xrgb8888();
}
