// The desktop's session bus, as the program's processes see it. The program itself talks on it
// (the media controls, the accessibility bridge); the web processes that play its streams do
// not: their engine would announce every media element there as a media player of its own,
// beside the program. Programs the program starts get the bus back.
#pragma once

#include <string>

namespace vistrelle::gtk {

// The session bus's address: the one the desktop names, or the user's bus socket; empty when
// there is none (no bus is started for the program).
std::string sessionBusAddress();

// From now on, processes started by the web view's engine find no session bus (the program's own
// connections use sessionBusAddress()); they are given the accessibility bus by its address.
void keepWebProcessesOffSessionBus();

// The environment for a program the program starts: its own, with the session bus it was given.
// Made when the bus is kept off, so that a fault report allocates nothing to start its process.
char** childEnvironment();

}  // namespace vistrelle::gtk
