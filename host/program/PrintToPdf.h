// Lays a printout collected without a window out into a PDF file, on no display at all.
#pragma once

#include "host/program/VeltronaCommands.h"

// The number of pages written, or 0 and why.
int PrintToPdf(const PrintJob& job, std::string* error);
