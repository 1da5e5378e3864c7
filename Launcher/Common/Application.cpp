#include "InstallerLauncher.h"

// The one application object; the framework's entry point finds it.
CInstallerLauncher theApp;
