# fernwell_include_folder(<target> <folder> <PUBLIC|PRIVATE|INTERFACE>)
# Makes "<folder>/X.h" includable by <target> (and, PUBLIC or INTERFACE, by whatever links it)
# and nothing else of the tree: the include folder ${CMAKE_BINARY_DIR}/include/<name> holds
# one link, <folder>, to the source folder. There is no include folder for the whole tree, so
# a file sees another folder's headers only when its library links that folder's library,
# and an include from a layer above (layers.txt) fails to build.
function(fernwell_include_folder target folder scope)
  string(REPLACE "/" "_" name ${folder})
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  if(NOT IS_SYMLINK ${root}/${folder})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC RESULT failed)
    if(failed)
      # A host that cannot make symbolic links (Windows without the privilege): the whole
      # tree is the include folder there; the layer check (scripts/check-layers.sh) still
      # guards every include.
      message(STATUS "No link for ${folder} (${failed}): including from the source tree")
      set(root ${CMAKE_SOURCE_DIR})
    endif()
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# fernwell_library(<folder> [SKIP files...] [PUBLIC targets...] [PRIVATE targets...])
# One static library per code folder: every .cpp of the folder except main.cpp and the
# other platform's files (*_posix.cpp / *_win32.cpp) and those in SKIP (a library of their own).
# Target name: fernwell_<folder>. PUBLIC: the libraries the folder's headers include from (a
# user of this library needs them too); PRIVATE: those only its .cpp files use.
function(fernwell_library folder)
  cmake_parse_arguments(ARG "" "" "SKIP;PUBLIC;PRIVATE" ${ARGN})
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
    fernwell_include_folder(fernwell_${folder} ${folder} PUBLIC)
    target_link_libraries(fernwell_${folder} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    add_library(fernwell_${folder} INTERFACE)
    fernwell_include_folder(fernwell_${folder} ${folder} INTERFACE)
    target_link_libraries(fernwell_${folder} INTERFACE ${ARG_PUBLIC} ${ARG_PRIVATE})
  endif()
endfunction()

# fernwell_test(<folder> [GUI] [LIBS targets...] [RIGS folders...] [POSIX_ONLY files...])
# One GoogleTest binary per folder from tests/<folder>/*.cpp, named <folder>_tests. It includes
# from tests/<folder>, tests/common, the libraries it links and the rig headers of the test
# folders named in RIGS (tests/app's main window rig for the tool windows).
# GUI suites get the main of tests/common (QApplication, offscreen, failing message-box hook).
# As for the libraries, *_win32.cpp files are left out off Windows and *_posix.cpp files on
# Windows; POSIX_ONLY names more files the Windows build leaves out (the folder says why).
function(fernwell_test folder)
  cmake_parse_arguments(ARG "GUI" "" "LIBS;RIGS;POSIX_ONLY" ${ARGN})
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
  foreach(rig ${folder} ${ARG_RIGS})
    fernwell_include_folder(${folder}_tests tests/${rig} PRIVATE)
  endforeach()
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
