// A process that waits until it is ended, started under the image names a
// test needs.
#include <windows.h>

int main()
{
    Sleep(INFINITE);
    return 0;
}
