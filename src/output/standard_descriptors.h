// Descriptors 0, 1 and 2 are standard input, output and error. A program
// started with one of them closed (`lemvaris >&-`) would hand that number to
// the next thing it opens (the X connection, a grid file) and then read its
// answers from it or write its output into it.
#pragma once

// Fill every closed standard descriptor with /dev/null opened for reading
// only: reading it gives the end of the input and writing to it fails, so
// nothing is ever written where the person did not ask. Call first in main.
void ReserveStandardDescriptors();
