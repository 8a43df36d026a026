# tarvik_layer(NAME DIR [DEPS...]): one static library per layer from the sources below DIR.
# A layer with no sources yet is an interface library, so the tree configures while it grows.
function(tarvik_layer name dir)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    set(scope PUBLIC)
  else()
    add_library(${name} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${name} ${scope} ${dir})
  target_link_libraries(${name} ${scope} ${ARGN})
  set_property(TARGET ${name} PROPERTY TARVIK_SCOPE ${scope})
endfunction()

# tarvik_layer_includes(NAME DIRS...): header-only directories a layer sees besides its own.
function(tarvik_layer_includes name)
  get_target_property(scope ${name} TARVIK_SCOPE)
  target_include_directories(${name} ${scope} ${ARGN})
endfunction()
