# The build without Qt and libcurl (ZENVIRA_CORE_ONLY): what the Windows cross-build holds.
find_package(Threads REQUIRED)

add_subdirectory(base)
add_subdirectory(platform)
add_subdirectory(resolve)
add_subdirectory(convert)
add_subdirectory(encoder)
add_subdirectory(player/association)

if(NOT ZENVIRA_TESTS)
  return()
endif()
enable_testing()
if(CMAKE_CROSSCOMPILING)
  # GoogleTest built for the target from Debian's googletest sources.
  set(ZENVIRA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ZENVIRA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
add_subdirectory(tests/core)
