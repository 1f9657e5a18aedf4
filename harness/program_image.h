// The program file as the simulated loader sees it: the resources that
// crtrate.rc puts into the exe, handed to the simulation.
#pragma once

// Gives the simulated notebook the program's string table and icon groups
// (SimLoadProgramResources); the runner does it for every run.
void LoadProgramImage();
