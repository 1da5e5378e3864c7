// What ends the process when an exception leaves the program uncaught. The C++
// runtime's own handler first writes the exception's demangled type name to
// standard error, and its demangler alone would be a sixth of the launcher's
// code. The launcher is a GUI program whose standard error nobody reads, so it
// ends the same way, by abort, without that line.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    std::abort();
}

}  // namespace __gnu_cxx
