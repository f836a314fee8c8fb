# Replaces the Wine prefix the Windows tests run in with a fresh one, so
# that no run depends on what an earlier run left in it. CTest runs this
# before the first Windows test (the wine_prefix fixture).
#
#   cmake -DPREFIX=<dir> -DEMULATOR=<emulator command, '|'-separated> -P fresh-wine-prefix.cmake
if(NOT PREFIX OR NOT EMULATOR)
  message(FATAL_ERROR "PREFIX and EMULATOR are required")
endif()
string(REPLACE "|" ";" emulator "${EMULATOR}")

if(EXISTS "${PREFIX}")
  # Stop this prefix's server (and only this prefix's) before its files go.
  execute_process(COMMAND env "WINEPREFIX=${PREFIX}" wineserver -k
                  OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE_RECURSE "${PREFIX}")
endif()

execute_process(COMMAND ${emulator} wineboot --init
                RESULT_VARIABLE result
                OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS "${PREFIX}/drive_c")
  message(FATAL_ERROR "wineboot failed (${result}):\n${output}")
endif()
