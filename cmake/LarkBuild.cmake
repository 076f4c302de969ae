# Common build settings: Qt, visibility, warnings, sanitizers.
include(GNUInstallDirs)
include(GenerateExportHeader)

# One source, two builds: Qt 5 gives the LarkUtils package, Qt 6 the LarkUtils6 one (co-installable:
# its own libraries, headers, CMake package and pkg-config file).
set(LARKUTILS_QT_MAJOR_VERSION 5 CACHE STRING "Major version of Qt to build against: 5 or 6")
set_property(CACHE LARKUTILS_QT_MAJOR_VERSION PROPERTY STRINGS 5 6)
if(LARKUTILS_QT_MAJOR_VERSION STREQUAL "5")
  set(LARKUTILS_QT Qt5)
  set(LARKUTILS_QT_MIN_VERSION 5.15)
  set(LARKUTILS_SUFFIX "")
  set(LARKUTILS_QT_PUBLIC_COMPONENTS Core Gui Network)
  find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Network)
elseif(LARKUTILS_QT_MAJOR_VERSION STREQUAL "6")
  set(LARKUTILS_QT Qt6)
  set(LARKUTILS_QT_MIN_VERSION 6.4)
  set(LARKUTILS_SUFFIX 6)
  set(LARKUTILS_QT_PUBLIC_COMPONENTS Core Gui Network Core5Compat)
  # QRegExp and QTextCodec, which the public API keeps, live in Core5Compat on Qt 6.
  find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Network Core5Compat)
else()
  message(FATAL_ERROR "LARKUTILS_QT_MAJOR_VERSION must be 5 or 6, not \"${LARKUTILS_QT_MAJOR_VERSION}\"")
endif()
# The package name, the library names' suffix and the include folder of this build.
set(LARKUTILS_PACKAGE LarkUtils${LARKUTILS_SUFFIX})
list(TRANSFORM LARKUTILS_QT_PUBLIC_COMPONENTS PREPEND ${LARKUTILS_QT} OUTPUT_VARIABLE LARKUTILS_PC_REQUIRES)
list(JOIN LARKUTILS_PC_REQUIRES " " LARKUTILS_PC_REQUIRES)
string(REPLACE ";" " " LARKUTILS_QT_PUBLIC_COMPONENTS "${LARKUTILS_QT_PUBLIC_COMPONENTS}")
message(STATUS "LarkUtils: Qt ${${LARKUTILS_QT}_VERSION}, package ${LARKUTILS_PACKAGE}")

# Qt's own translations folder (qtbase_fr.qm and the others).
get_target_property(_lark_qmake ${LARKUTILS_QT}::qmake LOCATION)
execute_process(COMMAND ${_lark_qmake} -query QT_INSTALL_TRANSLATIONS OUTPUT_VARIABLE LARKUTILS_QT_TRANSLATIONS_DIR
                OUTPUT_STRIP_TRAILING_WHITESPACE)

# lark_add_translation(<var> file.ts...): .qm files compiled by lrelease at build time.
function(lark_add_translation var)
  find_package(${LARKUTILS_QT} ${LARKUTILS_QT_MIN_VERSION} REQUIRED COMPONENTS LinguistTools)
  if(LARKUTILS_QT_MAJOR_VERSION STREQUAL "5")
    qt5_add_translation(_qm ${ARGN})
  else()
    qt6_add_translation(_qm ${ARGN})
  endif()
  set(${var} ${_qm} PARENT_SCOPE)
endfunction()

set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# The libraries say the encoding of every conversion between bytes and text.
set(LARKUTILS_STRICT_QT_DEFINITIONS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_URL_CAST_FROM_STRING)

# Installed libraries find each other and Qt.
set(CMAKE_INSTALL_RPATH "$ORIGIN")

if(LARKUTILS_SANITIZE)
  string(REPLACE ";" "," _lark_sanitizers "${LARKUTILS_SANITIZE}")
  message(STATUS "LarkUtils: sanitizers ${_lark_sanitizers}")
  add_compile_options(-fsanitize=${_lark_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_lark_sanitizers})
endif()

# Warnings for our own targets.
function(lark_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(LARKUTILS_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()
