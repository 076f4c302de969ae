# Common build settings: Qt, visibility, warnings, sanitizers.
include(GNUInstallDirs)
include(GenerateExportHeader)

find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Network)

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
