# TWI_REPRODUCIBLE: builds of one commit, in any folder and at any time, give byte-identical
# executables, so that anyone can check that a published Installer is that commit plus a signature
# (scripts/verify-release). Included before any target is made, as the launchers below are target
# properties taken from these variables when a target is created.
option(TWI_REPRODUCIBLE "Make the build independent of its folders and of the time it runs" OFF)
set(TWI_SOURCE_DATE_EPOCH "" CACHE STRING
    "Seconds since 1970 written as the build's time (default: SOURCE_DATE_EPOCH, else the commit's time)")

if(NOT TWI_REPRODUCIBLE)
  return()
endif()

if(TWI_SOURCE_DATE_EPOCH STREQUAL "" AND DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TWI_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
endif()
if(TWI_SOURCE_DATE_EPOCH STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE TWI_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE git_status)
    if(NOT git_status EQUAL 0)
      set(TWI_SOURCE_DATE_EPOCH "")
    endif()
  endif()
endif()
if(NOT TWI_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "a reproducible build needs the commit's time: set SOURCE_DATE_EPOCH or "
                      "TWI_SOURCE_DATE_EPOCH, or configure from a git checkout (it is \"${TWI_SOURCE_DATE_EPOCH}\")")
endif()

# Paths that reach the objects (__FILE__ in assertions, debug sections before the strip) name the
# folders relatively. GCC tries the last map first, so the build folder, often inside the source
# folder, comes second. -Werror=date-time: __DATE__ and __TIME__ would stamp the build's day.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build
                    -Werror=date-time)

# Archives without member times, owners or modes.
foreach(lang C CXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
endforeach()

# GNU ld writes the time of the link into the PE header, and so does the strip that -s runs inside
# it; both take SOURCE_DATE_EPOCH instead when it is set, so every link runs with it, whatever the
# environment of the `cmake --build` that started it.
foreach(lang C CXX)
  set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TWI_SOURCE_DATE_EPOCH})
endforeach()
