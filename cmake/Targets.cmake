# Helpers that turn a folder into a target. Sources are globbed so that a new
# class pair needs no edit of a build file.

# pellwood_library(NAME DIR [STATIC|SHARED] LINKS ...)
function(pellwood_library name dir kind)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} ${kind} ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# pellwood_test_suite(NAME DIR LINKS ...): one GoogleTest executable a folder.
function(pellwood_test_suite name dir)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${PROJECT_SOURCE_DIR}/tests/common/FixedFonts.cpp)
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    PELLWOOD_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    PELLWOOD_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    PELLWOOD_BINARY_DIR="${PROJECT_BINARY_DIR}")
  # The "...XServerChild" scenarios are run by their parent test in a child
  # process on the X server; on their own they only skip, so they are no entries.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    TEST_FILTER "-*XServerChild.*"
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
    # One value per property: discovery at test time splits a list value into
    # separate arguments, and the second variable was lost.
    PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=offscreen" ENVIRONMENT_MODIFICATION "SDL_AUDIODRIVER=set:dummy")
endfunction()

# Compile options for one source file of the calling folder, given by its path from that folder.
# A file that is not there stops the configuration: a setting left behind by a move would
# otherwise apply to nothing without a word.
function(pellwood_source_options file)
  if(IS_ABSOLUTE "${file}")
    set(path "${file}")
  else()
    set(path "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
  endif()
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "compile options are set for ${path}, which does not exist")
  endif()
  set_source_files_properties("${path}" PROPERTIES COMPILE_OPTIONS "${ARGN}")
endfunction()
