# The language standard and the warnings every target of the project is
# built with; the libraries of others built here keep their own. The host
# tools of a cross build include this too.
if(NOT TARGET tarnlight_options)
  add_library(tarnlight_options INTERFACE)
  target_compile_features(tarnlight_options INTERFACE cxx_std_20)
  target_compile_options(tarnlight_options INTERFACE -Wall -Wextra)
endif()
