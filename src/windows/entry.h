#pragma once
// The program's entry: the application object, the main window and the
// message loop.

int ProgramMain(int argc, char **argv);
