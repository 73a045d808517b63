# The floors of the source tree. A floor is a folder of src/ (src/store/<name> for the
# store's services) built as one static library.
#   relvano_floor(FOLDER TARGET [EXCLUDE_MAIN] DEPS ... FILES ...)
# declares it with the floors (and Qt modules) it may use and its files (names inside
# src/FOLDER: every .cpp and .h there, or configuring stops); the include check below
# makes a file that includes a header of any other floor fail the build, so the
# direction the link lines state is the only one the code can take.

set(RELVANO_FLOORS "" CACHE INTERNAL "")

function(relvano_floor carpeta target)
  cmake_parse_arguments(F "EXCLUDE_MAIN" "" "DEPS;FILES" ${ARGN})
  list(TRANSFORM F_FILES PREPEND ${CMAKE_SOURCE_DIR}/src/${carpeta}/ OUTPUT_VARIABLE fuentes)
  # A file of the folder left out of the list would escape the include check: say so now.
  file(GLOB en_disco ${CMAKE_SOURCE_DIR}/src/${carpeta}/*.cpp ${CMAKE_SOURCE_DIR}/src/${carpeta}/*.h)
  list(REMOVE_ITEM en_disco ${fuentes})
  if(en_disco)
    message(FATAL_ERROR "src/${carpeta}: add to its relvano_floor(... FILES) in CMakeLists.txt: ${en_disco}")
  endif()
  # A program's main.cpp is checked with its floor but built into the executable.
  set(todas ${fuentes})
  if(F_EXCLUDE_MAIN)
    list(FILTER fuentes EXCLUDE REGEX ".*/main\\.cpp$")
  endif()
  set(cpps ${fuentes})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(cpps)
    add_library(${target} STATIC ${fuentes})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${F_DEPS})
  else()
    add_library(${target} INTERFACE ${fuentes})
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${F_DEPS})
  endif()
  # The floors this one may include: itself and every floor its dependencies reach.
  set(permitidas ${carpeta})
  foreach(dep ${F_DEPS})
    if(DEFINED RELVANO_FLOOR_OF_${dep})
      list(APPEND permitidas ${RELVANO_FLOOR_OF_${dep}} ${RELVANO_ALLOWED_${dep}})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES permitidas)
  set(RELVANO_FLOOR_OF_${target} ${carpeta} CACHE INTERNAL "")
  set(RELVANO_ALLOWED_${target} ${permitidas} CACHE INTERNAL "")

  set(sello ${CMAKE_BINARY_DIR}/floors/${target}.ok)
  add_custom_command(
    OUTPUT ${sello}
    COMMAND ${CMAKE_COMMAND} -DFLOOR=${carpeta} "-DALLOWED=${permitidas}"
            "-DFILES=${todas}" -DSRC=${CMAKE_SOURCE_DIR}/src -DSTAMP=${sello}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_floor.cmake
    DEPENDS ${todas} ${CMAKE_SOURCE_DIR}/cmake/check_floor.cmake
    COMMENT "Checking the includes of src/${carpeta}"
    VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${sello})
  add_dependencies(${target} ${target}_includes)
endfunction()
