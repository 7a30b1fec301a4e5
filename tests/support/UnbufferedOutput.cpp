// Linked into every test program. CTest reads a test's output through a pipe, where the C runtime
// would buffer all of it, and a program that dies would take its last lines (or all) along.
#include <cstdio>

static const bool g_bUnbuffered =
    (std::setvbuf(stdout, nullptr, _IONBF, 0), std::setvbuf(stderr, nullptr, _IONBF, 0), true);
