// The program's message box words as MessageBox takes and gives them.
#pragma once

#include <windows.h>

#include "ui/message_box.h"

namespace vistrelle::win32 {

// The MessageBox flags of a message box of the program.
UINT messageBoxFlags(MessageIcon icon, MessageButtons buttons);
// The program's answer for the button MessageBox returned.
MessageAnswer messageAnswer(int pressed);

}  // namespace vistrelle::win32
