// The About message both wizard pages show.
#pragma once

#include <string>

// Eight lines: name and version, copyright (two lines), a blank line, four contact lines.
std::string AboutText();

void ShowAboutMessage();
