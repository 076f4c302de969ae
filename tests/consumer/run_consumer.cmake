# cmake -DBUILD_DIR=... -DWORK_DIR=... -DPROJECT_DIR=... -P run_consumer.cmake
cmake_policy(VERSION 3.18)
# The package is installed into one prefix and used from another: both the CMake package and the
# pkg-config file must follow the folder they lie in.
file(REMOVE_RECURSE ${WORK_DIR})
set(installed ${WORK_DIR}/installed)
set(prefix ${WORK_DIR}/moved)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${installed})
# With the build of the other Qt version (OTHER_BUILD_DIR, OTHER_PACKAGE), both go into the one prefix:
# no file of one may be a file of the other.
if(OTHER_BUILD_DIR)
  run(${CMAKE_COMMAND} --install ${OTHER_BUILD_DIR} --prefix ${WORK_DIR}/other)
  file(GLOB_RECURSE ours RELATIVE ${installed} ${installed}/*)
  file(GLOB_RECURSE theirs RELATIVE ${WORK_DIR}/other ${WORK_DIR}/other/*)
  foreach(f IN LISTS ours)
    if(f IN_LIST theirs)
      message(FATAL_ERROR "${PACKAGE} and ${OTHER_PACKAGE} both install ${f}")
    endif()
  endforeach()
  run(${CMAKE_COMMAND} --install ${OTHER_BUILD_DIR} --prefix ${installed})
endif()
file(RENAME ${installed} ${prefix})
# PACKAGE is LarkUtils (Qt 5) or LarkUtils6 (Qt 6): every installed name carries it, so both builds
# can share one prefix.
string(TOLOWER ${PACKAGE} pc)
string(REGEX REPLACE "^LarkUtils" "" suffix ${PACKAGE})
foreach(f lib/cmake/${PACKAGE}/${PACKAGE}Config.cmake lib/cmake/${PACKAGE}/${PACKAGE}ConfigVersion.cmake
          include/${PACKAGE}/Logwell.h include/${PACKAGE}/larkutils_export.h lib/pkgconfig/${pc}.pc
          lib/lib${PACKAGE}.so lib/libLogwell${suffix}.so share/${PACKAGE}/webfonts/google.json)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
function(build_and_run package folder)
  run(${CMAKE_COMMAND} -S ${PROJECT_DIR} -B ${WORK_DIR}/${folder} -G ${GENERATOR}
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix} -DLARK_PACKAGE=${package}
      "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/${folder})
  run(${WORK_DIR}/${folder}/consumer)
endfunction()
build_and_run(${PACKAGE} build)
if(OTHER_BUILD_DIR)
  build_and_run(${OTHER_PACKAGE} build-other)
endif()

# The same program built with pkg-config alone.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs ${pc} RESULT_VARIABLE rc OUTPUT_VARIABLE flags
                ERROR_VARIABLE err OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config ${pc} failed: ${err}")
endif()
foreach(pair "includedir;include/${PACKAGE}" "libdir;lib" "pkgdatadir;share/${PACKAGE}")
  list(GET pair 0 variable)
  list(GET pair 1 expected)
  execute_process(COMMAND pkg-config --variable=${variable} ${pc} OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(value "${value}" REALPATH)
  if(NOT value STREQUAL "${prefix}/${expected}")
    message(FATAL_ERROR "${pc}.pc does not follow its prefix: ${variable}=${value}")
  endif()
endforeach()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CXX_COMPILER} -std=c++17 -fPIC ${extra} ${PROJECT_DIR}/main.cpp -o ${WORK_DIR}/consumer_pc ${flags})
set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
run(${WORK_DIR}/consumer_pc)
