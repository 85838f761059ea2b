#pragma once

#include <QString>

namespace fd {

// True when the running program sits in the system's program folder (/usr/bin, where the package
// installs it). A program run from a folder of its own (a build folder, a copy in /opt/fleetdesk)
// may keep files beside itself; an installed one keeps nothing there, whoever runs it.
bool runsFromSystemFolder();

} // namespace fd
