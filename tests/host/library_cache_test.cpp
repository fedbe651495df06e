// The CallDLL library cache: loading once per name, finding functions, calling with
// the four-argument C convention.
#include "tests/host/recording_debugger.h"

#include "host/library_cache.h"

namespace {

const std::string kLibrary = KS_TEST_LIBRARY;

TEST(LibraryCache, CallsWithFourArgumentsAndCachesByExactName) {
  LibraryCache cache;
  int out = 0;
  EXPECT_EQ(cache.call(kLibrary, "sizes", nullptr, 7, &out, 4), 7004);
  EXPECT_EQ(out, 0x4B53);
  EXPECT_EQ(cache.call(kLibrary, "sizes", nullptr, 1, nullptr, 0), 1000);
  EXPECT_EQ(cache.libraryCount(), 1u);
  // The same library written differently is loaded and cached again under that name.
  const std::string other = kLibrary.substr(0, kLibrary.rfind('/')) + "/./" + kLibrary.substr(kLibrary.rfind('/') + 1);
  EXPECT_EQ(cache.call(other, "sizes", nullptr, 2, nullptr, 0), 2000);
  EXPECT_EQ(cache.libraryCount(), 2u);
}

TEST(LibraryCache, BackslashesInTheLibraryNameAreSeparators) {
  LibraryCache cache;
  std::string windowsStyle = kLibrary;
  for (char& c : windowsStyle) {
    if (c == '/') {
      c = '\\';
    }
  }
  EXPECT_EQ(cache.call(windowsStyle, "sizes", nullptr, 3, nullptr, 0), 3000);
}

TEST(LibraryCache, MissingLibrariesAndFunctionsGiveZeroAndAreNotRemembered) {
  LibraryCache cache;
  EXPECT_EQ(cache.call("/no/such/library.so", "sizes", nullptr, 1, nullptr, 0), 0);
  EXPECT_EQ(cache.libraryCount(), 0u);
  EXPECT_EQ(cache.call(kLibrary, "no_such_function", nullptr, 1, nullptr, 0), 0);
  EXPECT_EQ(cache.libraryCount(), 1u);
  cache.clear();
  EXPECT_EQ(cache.libraryCount(), 0u);
}

}  // namespace
