# The release as an input of the build: its tables are generated from a
# release description, and a program variant links the tables of its release.

set(QM_MKRELEASE ${CMAKE_CURRENT_LIST_DIR}/../tools/mkrelease/mkrelease.py)

# The release time: every time stamp the Windows build writes (the programs'
# PE headers, the media's file times, the images' dates) is this one, so that
# the same sources give the same bytes wherever and whenever they are built.
# SOURCE_DATE_EPOCH when set (the reproducible-builds convention), else the
# time of the commit being built; a tree that is neither is refused.
# QM_RELEASE_IDENTITY holds time and commit: what depends on them reruns
# when they change.
if(WIN32)
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%H%n%ct
                  OUTPUT_VARIABLE head RESULT_VARIABLE git_failed ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(git_failed)
    set(QM_RELEASE_COMMIT "none (not a git checkout)")
  else()
    string(REPLACE "\n" ";" head "${head}")
    list(GET head 0 QM_RELEASE_COMMIT)
    list(GET head 1 commit_time)
    execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(changes)
      string(APPEND QM_RELEASE_COMMIT " with changes not committed")
    endif()
  endif()
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(QM_RELEASE_TIME "$ENV{SOURCE_DATE_EPOCH}")
    set(QM_RELEASE_TIME_FROM "SOURCE_DATE_EPOCH")
    if(NOT QM_RELEASE_TIME MATCHES "^[0-9]+$")
      message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970 (whole digits), "
                          "not '${QM_RELEASE_TIME}'")
    endif()
  elseif(git_failed)
    message(FATAL_ERROR "No release time: ${PROJECT_SOURCE_DIR} is not a git checkout and "
                        "SOURCE_DATE_EPOCH is not set; set it to the release time (seconds since 1970)")
  else()
    set(QM_RELEASE_TIME ${commit_time})
    set(QM_RELEASE_TIME_FROM "the commit")
  endif()
  set(QM_RELEASE_IDENTITY ${CMAKE_BINARY_DIR}/generated/release-identity.txt)
  file(CONFIGURE OUTPUT ${QM_RELEASE_IDENTITY}
       CONTENT "time ${QM_RELEASE_TIME} from ${QM_RELEASE_TIME_FROM}\ncommit ${QM_RELEASE_COMMIT}\n")
  # GNU ld stamps a PE file with SOURCE_DATE_EPOCH when it is set (the file
  # header and a DLL's export directory), and with the clock otherwise.
  foreach(lang C CXX)
    set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QM_RELEASE_TIME})
  endforeach()
  # Build folders must not reach the programs (__FILE__, debug information).
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
endif()

# make release PRODUCT=DIR: the release made of the product's own files in
# DIR instead of the demo's generated stand-ins (Windows build). The build
# then uses the release description tools/mkproduct/fromfolder.py writes,
# with the disk table computed from the files where the release asks for it.
set(QM_PRODUCT_SOURCE "" CACHE PATH "folder of the product's own files; empty: the demo product")
set(QM_RELEASE_USED ${QM_RELEASE_DIR})
if(WIN32 AND QM_PRODUCT_SOURCE)
  set(QM_RELEASE_USED ${CMAKE_BINARY_DIR}/release-of-product)
endif()
# The test release of a product's own files (tests/release_own), likewise.
set(QM_OWN_RELEASE_USED ${CMAKE_BINARY_DIR}/release-own)

# qm_release_tables(<lib> <release_dir> [PRODUCT dir target])
# Generates ${CMAKE_BINARY_DIR}/generated/<lib>/release_tables.cpp from the
# release description and makes the static library <lib> of it, and beside
# it release_version.h, the release's version for the version resource. The
# generator refuses a release the program could not run with. With PRODUCT,
# the folder of the release's product files and the target that writes them:
# the tables then hold each file's size and CRC-32.
function(qm_release_tables lib release_dir)
  cmake_parse_arguments(T "" "" "PRODUCT" ${ARGN})
  set(out ${CMAKE_BINARY_DIR}/generated/${lib}/release_tables.cpp)
  set(version ${CMAKE_BINARY_DIR}/generated/${lib}/release_version.h)
  set(inputs ${release_dir}/manifest.txt ${release_dir}/disks.txt ${release_dir}/billboard.txt
             ${release_dir}/version.txt)
  if(EXISTS ${release_dir}/publisher.txt)
    list(APPEND inputs ${release_dir}/publisher.txt)
  endif()
  set(product)
  if(T_PRODUCT)
    list(GET T_PRODUCT 0 product_dir)
    list(GET T_PRODUCT 1 product_target)
    set(product --product ${product_dir})
    list(APPEND inputs ${CMAKE_BINARY_DIR}/tools/mkmedium/${product_target}.stamp)
  endif()
  add_custom_command(OUTPUT ${out} ${version}
    COMMAND ${Python3_EXECUTABLE} ${QM_MKRELEASE} ${product} ${release_dir} ${out} ${version}
    DEPENDS ${inputs} ${QM_MKRELEASE}
    COMMENT "Generating the release tables of ${lib}"
    VERBATIM)
  add_library(${lib} STATIC ${out})
  if(T_PRODUCT)
    add_dependencies(${lib} ${product_target})
  endif()
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
  target_link_libraries(${target} PRIVATE setup_win setup_core ${tables_lib} ownerdata lz32_delay
                        gdi32 user32)
  # Shipped on floppies: debug information would take most of disk 1.
  target_link_options(${target} PRIVATE -s)
  # The header's checksum, which the program checks its own file against.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/pesum/pesum.py $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
