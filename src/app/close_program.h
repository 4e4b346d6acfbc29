// What Close does on both wizard pages: let the help viewer go of the program's help file,
// then ask the program to end.
#pragma once

void CloseProgram();
