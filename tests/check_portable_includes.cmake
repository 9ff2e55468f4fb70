# Fails when a portable source includes anything but a C++ standard header
# or a portable project header that its folder may depend on. Dependencies
# point one way: startup -> saver, setup -> shared -> helpers -> platform
# (the interfaces only, never a back end below them).
set(std_headers
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfloat
  charconv chrono cinttypes climits clocale cmath compare complex concepts
  condition_variable coroutine csetjmp csignal cstdarg cstddef cstdint cstdio
  cstdlib cstring ctime cuchar cwchar cwctype deque exception execution
  expected filesystem format forward_list fstream functional future
  initializer_list iomanip ios iosfwd iostream istream iterator latch limits
  list locale map memory memory_resource mutex new numbers numeric optional
  ostream queue random ranges ratio regex scoped_allocator semaphore set
  shared_mutex source_location span sstream stack stdexcept stop_token
  streambuf string string_view syncstream system_error thread tuple
  type_traits typeindex typeinfo unordered_map unordered_set utility valarray
  variant vector version)

# For each portable folder, the project folders it may include.
set(allowed_startup startup saver setup shared helpers platform)
set(allowed_saver saver shared helpers platform)
set(allowed_setup setup shared helpers platform)
set(allowed_shared shared helpers platform)
set(allowed_helpers helpers platform)
set(allowed_platform platform)

set(bad "")
foreach(folder startup saver setup shared helpers platform)
  if(folder STREQUAL "platform")
    # The interfaces are the files directly in platform/; the back ends
    # live in its subfolders.
    file(GLOB sources ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp)
  else()
    file(GLOB_RECURSE sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  endif()
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      if(line MATCHES "\"([^\"]*)\"")
        set(header ${CMAKE_MATCH_1})
        set(ok FALSE)
        foreach(dep ${allowed_${folder}})
          if(header MATCHES "^${dep}/[^/]+\\.h$")
            set(ok TRUE)
          endif()
        endforeach()
      elseif(line MATCHES "<([^>]*)>")
        list(FIND std_headers "${CMAKE_MATCH_1}" at)
        if(at LESS 0)
          set(ok FALSE)
        else()
          set(ok TRUE)
        endif()
      else()
        set(ok FALSE)
      endif()
      if(NOT ok)
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
message(STATUS "portable includes: ok")
