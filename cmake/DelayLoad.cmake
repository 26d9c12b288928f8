# Users run the Installer from their Downloads folder, where any web site can drop a file. When
# the loader binds an executable's imports at start, it looks in the program's own folder before
# System32 for DLLs that are not KnownDLLs (dwmapi, uxtheme, winhttp...), so a planted dwmapi.dll
# would run inside the Installer before any of its code. twi_delay_load(TARGET lib...) makes
# TARGET bind those libraries on first call instead: at start the loader then binds only kernel32
# and the C runtime, both KnownDLLs, and wWinMain restricts the search to System32 before the first
# such call. (DependentLoadFlags would restrict the binds at start too, but GNU ld 2.40 writes no
# load-configuration directory, even for a _load_config_used of our own.)
#
# MinGW ships import libraries only. For each lib, a delay-import library of the same name is made
# from the functions of its import library and put in a folder that TARGET's link searches first,
# so that both the program's own -l options and the compiler's default ones pick it up. A data
# export cannot be bound lazily; it is left out, and a use of one fails the link.
function(twi_delay_load target)
  set(folder ${CMAKE_BINARY_DIR}/delay-load)
  file(MAKE_DIRECTORY ${folder})
  foreach(lib IN LISTS ARGN)
    set(delay_lib ${folder}/lib${lib}.a)
    if(NOT EXISTS ${delay_lib})
      find_library(import_${lib} NAMES lib${lib}.a REQUIRED NO_CACHE)
      set(import_lib ${import_${lib}})
      execute_process(COMMAND ${CMAKE_DLLTOOL} --identify ${import_lib}
                      OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      execute_process(COMMAND ${CMAKE_NM} --defined-only ${import_lib}
                      OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
      # Each function of an import library has its thunk in .text ("T name"); data has none.
      string(REGEX MATCHALL "[\r\n][0-9a-f]+ T [^\r\n]+" functions "${symbols}")
      list(TRANSFORM functions REPLACE "^[\r\n][0-9a-f]+ T " "")
      list(JOIN functions "\n" exports)
      file(WRITE ${folder}/${lib}.def "LIBRARY \"${dll}\"\nEXPORTS\n${exports}\n")
      # dlltool names its symbols after the output's path as given, and the linker orders their
      # sections by name: a path relative to the folder keeps the layout the same in any build folder.
      execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${lib}.def --dllname ${dll} --output-delaylib lib${lib}.a
                      WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  # Relative to the build folder, where the link runs: GNU ld orders the import sections of equal
  # name by the path of the library they came from, and an absolute one sorted before or after
  # /usr (the MinGW libraries) with the build folder's name, which moved code between builds.
  file(RELATIVE_PATH relative_folder ${CMAKE_BINARY_DIR} ${folder})
  target_link_options(${target} BEFORE PRIVATE -L${relative_folder})
endfunction()
