# Fails when a portable source includes anything but a C++ standard header
# or a portable project header that its folder may depend on. Dependencies
# point one way: startup -> saver, setup -> shared -> helpers -> platform
# (the interfaces only, never a back end below them).
cmake_policy(VERSION 3.25)

# For each portable folder, the project folders it may include.
set(allowed_startup startup saver setup shared helpers platform)
set(allowed_saver saver shared helpers platform)
set(allowed_setup setup shared helpers platform)
set(allowed_shared shared helpers platform)
set(allowed_helpers helpers platform)
set(allowed_platform platform)

set(bad "")
foreach(folder startup saver setup shared helpers platform)
  file(GLOB_RECURSE sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  # The interfaces are the files directly in platform/; the back ends live in
  # its subfolders.
  list(FILTER sources EXCLUDE REGEX "/platform/[^/]+/[^/]+$")
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      # The C++ standard headers are the only ones named in lower case
      # without a suffix or a folder: <unistd.h>, <QString> and <windows.h>
      # fail.
      if(NOT line MATCHES "include[ \t]*<[a-z_]+>" AND NOT
         (line MATCHES "include[ \t]*\"([a-z]+)/[^/\"]+\\.h\""
          AND CMAKE_MATCH_1 IN_LIST allowed_${folder}))
        file(RELATIVE_PATH shown ${ROOT} ${source})
        list(APPEND bad "${shown}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n" text)
  message(FATAL_ERROR "Portable code includes a header it may not:\n${text}")
endif()
