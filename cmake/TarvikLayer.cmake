# tarvik_layer(NAME SOURCES files... DEPS targets...): one static library per layer, from an
# explicit source list. Our code has one include path, the repository root, so every include names
# its folder ("serial/PortManager.h"); tests/layering keeps the folders in their order.
function(tarvik_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPS})
endfunction()
