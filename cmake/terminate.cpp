// terminate.cpp - linked into every Windows binary in place of libstdc++'s verbose terminate
// handler, which prints an uncaught exception's demangled type to stderr: our programs are GUI
// programs without one, and its demangler would add 46 KB to each binary. Ends the program the way
// that handler does after printing.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
