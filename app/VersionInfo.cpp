#include "app/VersionInfo.h"

#ifndef TARVIK_VERSION
#error "TARVIK_VERSION must come from the build"
#endif

namespace tarvik {
namespace {

// Kept in a section of its own so packaging tools and the About box read the same bytes; `used`
// keeps it even though nothing refers to the array by name.
[[gnu::used, gnu::section(".tarvik_version")]] const char kVersionBlock[] = "FileVersion=" TARVIK_VERSION
                                                                            "\0"
                                                                            "ProductVersion=" TARVIK_VERSION
                                                                            "\0"
                                                                            "FileDescription=Tarvik\0"
                                                                            "ProductName=Tarvik\0";

}  // namespace

const char* FileVersion() { return TARVIK_VERSION; }
const char* FileDescription() { return "Tarvik"; }

}  // namespace tarvik
