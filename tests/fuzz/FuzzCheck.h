#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding: abort, so libFuzzer stores the input that caused it.
#define FUZZ_CHECK(Condition)                                                                \
  do {                                                                                       \
    if (!(Condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #Condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)
