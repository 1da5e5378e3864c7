// Plants a registry link as a standard user allowed to create keys there
// could: the key LINK below HKEY_LOCAL_MACHINE becomes a link to the key
// TARGET below it, both in this program's view, so a scenario built for the
// launcher's bitness plants where the launcher looks. Exits 0 when planted.
//
// usage: RegistryLinkPlanter.exe LINK TARGET
#include "support/RegistryLinks.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        return 2;
    }
    return PlantRegistryLink(argv[1], argv[2]) ? 0 : 1;
}
