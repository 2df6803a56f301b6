# How every folder defines its targets, so that a mistake is a configure error and not a
# quietly missing library or test suite.
#
#   zenvira_target(LIBRARY name SOURCES a.cpp ... [LINKS ...] [PRIVATE_LINKS ...] [AUTOMOC])
#       A static library of our own code: warnings on, the source root on its include path.
#   zenvira_target(TEST name SOURCES a_test.cpp ... [LINKS ...] [AUTOMOC])
#       A GoogleTest binary with tests/support, each case a ctest test that runs offscreen,
#       never bypasses the fixture site's proxy and remembers no server unless it asks to
#       (tests/support/test_environment.cpp, compiled into each binary).
#   zenvira_library(name ...) and zenvira_test(name ...) are the same; sources may also be
#   given without the SOURCES keyword.
#   zenvira_folders(a b ...)
#       add_subdirectory for each; a folder without its CMakeLists.txt stops the configure.

function(zenvira_target kind name)
  cmake_parse_arguments(ARG "AUTOMOC" "" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  set(sources ${ARG_SOURCES} ${ARG_UNPARSED_ARGUMENTS})
  if(NOT sources)
    message(FATAL_ERROR "zenvira_target(${kind} ${name}): no sources")
  endif()
  if(kind STREQUAL "LIBRARY")
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  elseif(kind STREQUAL "TEST")
    add_executable(${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/test_environment.cpp)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_LINKS} ${ARG_PRIVATE_LINKS} zv_test_support GTest::gtest GTest::gtest_main)
    # Tests name only the fields a case is about (designated initializers); GCC 12 warns anyway.
    target_compile_options(${name} PRIVATE -Wno-missing-field-initializers)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    message(FATAL_ERROR "zenvira_target: unknown kind ${kind} for ${name} (LIBRARY or TEST)")
  endif()
  if(ARG_AUTOMOC)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  zenvira_warnings(${name})
endfunction()

function(zenvira_library name)
  zenvira_target(LIBRARY ${name} ${ARGN})
endfunction()

function(zenvira_test name)
  zenvira_target(TEST ${name} ${ARGN})
endfunction()

function(zenvira_folders)
  foreach(folder ${ARGN})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${folder} has no CMakeLists.txt: "
                          "a folder that is listed is built, so this one is missing or renamed")
    endif()
    add_subdirectory(${folder})
  endforeach()
endfunction()
