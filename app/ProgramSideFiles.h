#pragma once

// Where this executable's side files are, for the window and for a run without one alike.

#include "store/SideFiles.h"

namespace kavenra::app {

// LocateSideFiles for the running executable's folder and this process's configuration
// environment. Needs the application object.
SideFileLocations ProgramSideFileLocations();

}  // namespace kavenra::app
