#pragma once
// A broken invariant is a finding like a crash: say which, then abort() so
// libFuzzer keeps the input and the replay names it.

#include <cstdio>
#include <cstdlib>

inline void Check(bool ok, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "fuzz invariant failed: %s\n", what);
    std::abort();
}
