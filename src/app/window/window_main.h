// The windowed start of the program: the single-instance test, then the main window.
#pragma once

// Runs the event loop of the main window; 0 also when another instance already runs.
int runMainWindow(int argc, char **argv);
