// The programs' version, from one source (CMake's project version): both
// programs' --version, lemvaris.__version__, the page and every table and
// picture say it.
#pragma once

// "0.2.0"
const char* LemvarisVersion();
