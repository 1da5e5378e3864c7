/* The smallest 32-bit Windows program: that it ends with its own code shows
   that Wine runs 32-bit Windows code on this machine. */
#include <windows.h>

int main(void)
{
    ExitProcess(32);
}
