# Third-party pieces for the Windows cross build, from Debian packages but nothing of the
# build machine's own libraries or system headers:
#  - GoogleTest from its source package (/usr/src/googletest, package googletest), compiled
#    here with the cross compiler as static libraries;
#  - CLI11 and nlohmann-json, header-only (libcli11-dev, nlohmann-json3-dev): a folder in the
#    build tree holds links to just their two header folders, so /usr/include itself (Linux
#    headers) never comes onto the Windows include path.
set(FERNWELL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")

if(FERNWELL_TESTS)
  if(NOT EXISTS ${FERNWELL_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${FERNWELL_GTEST_SOURCE} "
                        "(Debian package googletest)")
  endif()
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(BUILD_SHARED_LIBS OFF)
  add_subdirectory(${FERNWELL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The source tree names its libraries GTest::gtest, GTest::gmock, ... itself.
endif()

# The folders' find_package(CLI11 CONFIG) and find_package(nlohmann_json CONFIG) find a
# config file here that only says the target exists already.
set(staged ${CMAKE_BINARY_DIR}/third-party/include)
file(MAKE_DIRECTORY ${staged})
foreach(entry "CLI11|CLI11::CLI11|CLI|CLI/CLI.hpp|libcli11-dev"
              "nlohmann_json|nlohmann_json::nlohmann_json|nlohmann|nlohmann/json.hpp|nlohmann-json3-dev")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 name)
  list(GET entry 1 target)
  list(GET entry 2 folder)
  list(GET entry 3 header)
  list(GET entry 4 package)
  if(NOT EXISTS /usr/include/${header})
    message(FATAL_ERROR "/usr/include/${header} not found (Debian package ${package})")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${staged}/${folder} SYMBOLIC)
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
  endif()
  set(config ${CMAKE_BINARY_DIR}/third-party/cmake/${name})
  file(WRITE ${config}/${name}Config.cmake
       "# ${target}: defined by cmake/CrossDeps.cmake (headers of ${package} only).\n")
  set(${name}_DIR ${config} CACHE PATH "Config of ${name} for the cross build" FORCE)
endforeach()
