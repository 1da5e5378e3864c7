#include "OsCalls.h"

OsCallTable Os;
const OsCallTable RealOs;
