// What the machine adds to the components as setup.ini names them: the
// folders the path macros stand for, installers named by a registry value
// (InstRegPath), and the Oracle client already on the Path.
#pragma once

#include <string>

#include "config/component_descriptors.h"
#include "platform/platform.h"

namespace setup {

// The system folder, the common program files folder and the program's own
// folder (without its trailing backslash).
PathMacros DetectPathMacros(platform::Platform& os, const std::string& modulePath);

// The prerequisites that the run considers: the Oracle client is left out
// when oci.dll lies in a folder of the Path; a component without InstPath
// takes it (and InstParams) from the command stored where InstRegPath
// names, and one that still has no installer is left out.
ComponentList ResolveInstallers(platform::Platform& os, const ComponentList& sections);

}  // namespace setup
