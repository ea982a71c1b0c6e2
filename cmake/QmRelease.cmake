# The release as an input of the build: its tables are generated from a
# release description, and a program variant links the tables of its release.

set(QM_MKRELEASE ${CMAKE_CURRENT_LIST_DIR}/../tools/mkrelease/mkrelease.py)

# qm_release_tables(<lib> <release_dir>)
# Generates ${CMAKE_BINARY_DIR}/generated/<lib>/release_tables.cpp from the
# release description and makes the static library <lib> of it, and beside
# it release_version.h, the release's version for the version resource. The
# generator refuses a release the program could not run with.
function(qm_release_tables lib release_dir)
  set(out ${CMAKE_BINARY_DIR}/generated/${lib}/release_tables.cpp)
  set(version ${CMAKE_BINARY_DIR}/generated/${lib}/release_version.h)
  set(inputs ${release_dir}/manifest.txt ${release_dir}/disks.txt ${release_dir}/billboard.txt
             ${release_dir}/version.txt)
  add_custom_command(OUTPUT ${out} ${version}
    COMMAND ${Python3_EXECUTABLE} ${QM_MKRELEASE} ${release_dir} ${out} ${version}
    DEPENDS ${inputs} ${QM_MKRELEASE}
    COMMENT "Generating the release tables of ${lib}"
    VERBATIM)
  add_library(${lib} STATIC ${out})
endfunction()

# qm_setup_exe(<target> <tables_lib>)
# SETUP.EXE built with the tables of one release, in
# ${CMAKE_CURRENT_BINARY_DIR}/<target>/. Windows only; nothing until the
# shell provides setup_main.
function(qm_setup_exe target tables_lib)
  if(NOT WIN32 OR NOT TARGET setup_main)
    return()
  endif()
  # The version resource is compiled per release: it reads the release's
  # release_version.h.
  add_executable(${target} WIN32 $<TARGET_OBJECTS:setup_main>
                 ${PROJECT_SOURCE_DIR}/resources/version.rc)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated/${tables_lib})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME SETUP
    SUFFIX .EXE
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target})
  target_link_libraries(${target} PRIVATE setup_win setup_core ${tables_lib} ownerdata lz32
                        gdi32 user32)
  # Shipped on floppies: debug information would take most of disk 1.
  target_link_options(${target} PRIVATE -s)
endfunction()
