# cmake -DBUILD_DIR=... -DWORK_DIR=... -DPROJECT_DIR=... -P run_consumer.cmake
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
file(RENAME ${installed} ${prefix})
foreach(f lib/cmake/LarkUtils/LarkUtilsConfig.cmake lib/cmake/LarkUtils/LarkUtilsConfigVersion.cmake
          include/LarkUtils/Logwell.h include/LarkUtils/larkutils_export.h lib/pkgconfig/larkutils.pc
          share/LarkUtils/webfonts/google.json)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${PROJECT_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)

# The same program built with pkg-config alone.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs larkutils RESULT_VARIABLE rc OUTPUT_VARIABLE flags
                ERROR_VARIABLE err OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config larkutils failed: ${err}")
endif()
foreach(pair "includedir;include/LarkUtils" "libdir;lib" "pkgdatadir;share/LarkUtils")
  list(GET pair 0 variable)
  list(GET pair 1 expected)
  execute_process(COMMAND pkg-config --variable=${variable} larkutils OUTPUT_VARIABLE value
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(value "${value}" REALPATH)
  if(NOT value STREQUAL "${prefix}/${expected}")
    message(FATAL_ERROR "larkutils.pc does not follow its prefix: ${variable}=${value}")
  endif()
endforeach()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CXX_COMPILER} -std=c++17 -fPIC ${extra} ${PROJECT_DIR}/main.cpp -o ${WORK_DIR}/consumer_pc ${flags})
set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
run(${WORK_DIR}/consumer_pc)
