# The include graph runs one way: a folder may include its own headers and
# those of the floors below it, never one above it nor a sibling's.
#
#   platform  <  path  <  print, programs_entry  <  run  <  app
#
# Run as a step of every build (cmake -DSOURCE_DIR=<tree> -P check_includes.cmake);
# each offending line fails it.
set(floors platform path print programs_entry run app)
set(rank_platform 0)
set(rank_path 1)
set(rank_print 2)
set(rank_programs_entry 2)
set(rank_run 3)
set(rank_app 4)

set(offences "")
foreach(floor IN LISTS floors)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${floor}/*.h" "${SOURCE_DIR}/${floor}/*.cpp" "${SOURCE_DIR}/${floor}/*.rc")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"/]+)/.*$" "\\1" target "${line}")
      if(NOT DEFINED rank_${target})
        continue()  # not one of the floors (a system or test header)
      endif()
      if(NOT target STREQUAL floor AND NOT rank_${target} LESS rank_${floor})
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND offences "\n  ${shown}: ${line}  (${floor} may not include ${target})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(offences)
  message(FATAL_ERROR "Includes against the floors (platform < path < print, programs_entry < run < app):${offences}")
endif()
