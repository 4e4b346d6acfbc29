// Start-up: the application object, the four windows, the message loop.
#pragma once

// Sets the title and icon and creates the four windows, each once, in their order. An error
// in a creation handler is reported and start-up goes on. The application object must have
// been initialised.
void CreateWindows();

// The whole program: initialise, create the windows, run the loop with the main page as the
// main window. An error that escapes all that is reported too. Returns the exit code, 0.
int Project1(int& argc, char** argv);
