#pragma once
// The program's version, kept here and nowhere else: the version dialog, the
// version resource (resources/taplore.rc), the build (CMakeLists.txt) and the
// release archive's name (package.sh) all take it from this file.
#define TAPLORE_VERSION_MAJOR 1
#define TAPLORE_VERSION_MINOR 0
#define TAPLORE_VERSION_PATCH 3
#define TAPLORE_VERSION_BUILD 0
#define TAPLORE_VERSION_TEXT "1.0.3.0"
