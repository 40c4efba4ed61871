// The fuzz targets' assertion: a broken invariant aborts, so libFuzzer keeps
// the input that broke it as a crash reproducer.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,   \
                   #condition);                                                   \
      std::abort();                                                               \
    }                                                                             \
  } while (0)
