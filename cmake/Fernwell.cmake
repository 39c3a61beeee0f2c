# fernwell_library(<folder> [SKIP files...] [DEPS targets...])
# One static library per code folder: every .cpp of the folder except main.cpp and the
# other platform's files (*_posix.cpp / *_win32.cpp) and those in SKIP (a library of their own).
# Target name: fernwell_<folder>.
function(fernwell_library folder)
  cmake_parse_arguments(ARG "" "" "SKIP;DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  foreach(file ${ARG_SKIP})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
  endforeach()
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(cpp ${sources})
  list(FILTER cpp INCLUDE REGEX "\\.(cpp|qrc)$")
  if(cpp)
    add_library(fernwell_${folder} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(fernwell_${folder} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(fernwell_${folder} ${scope} ${CMAKE_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(fernwell_${folder} ${scope} ${ARG_DEPS})
  endif()
endfunction()

# fernwell_test(<folder> [GUI] [LIBS targets...] [POSIX_ONLY files...])
# One GoogleTest binary per folder from tests/<folder>/*.cpp, named <folder>_tests.
# GUI suites get the main of tests/common (QApplication, offscreen, failing message-box hook).
# As for the libraries, *_win32.cpp files are left out off Windows and *_posix.cpp files on
# Windows; POSIX_ONLY names more files the Windows build leaves out (the folder says why).
function(fernwell_test folder)
  cmake_parse_arguments(ARG "GUI" "" "LIBS;POSIX_ONLY" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
    foreach(file ${ARG_POSIX_ONLY})
      list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    endforeach()
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  add_executable(${folder}_tests ${sources})
  target_link_libraries(${folder}_tests PRIVATE ${ARG_LIBS} fernwell_testcommon GTest::gmock)
  if(ARG_GUI)
    target_link_libraries(${folder}_tests PRIVATE fernwell_guitestmain Qt6::Test)
    # A static Qt links only the default platform plugin (windows) by itself; the tests run on
    # the offscreen one.
    if(WIN32 AND TARGET Qt6::QOffscreenIntegrationPlugin)
      qt_import_plugins(${folder}_tests INCLUDE Qt6::QOffscreenIntegrationPlugin)
    endif()
  else()
    target_link_libraries(${folder}_tests PRIVATE GTest::gtest_main)
  endif()
  # Tests find the built programs (fernwell-sim, fernwell-cli) through this directory.
  target_compile_definitions(${folder}_tests PRIVATE
    FERNWELL_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${folder}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# fernwell_windows_resources(<target> <description>)
# On Windows: the program's icon and version information (res/version.rc.in) compiled into
# the .exe. Elsewhere nothing.
function(fernwell_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(FERNWELL_ICON ${CMAKE_SOURCE_DIR}/res/images/fernwell.ico)
  set(FERNWELL_DESCRIPTION "${description}")
  set(FERNWELL_EXE ${target})
  configure_file(${CMAKE_SOURCE_DIR}/res/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
