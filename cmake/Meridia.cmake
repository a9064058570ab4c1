# meridia_library(NAME SOURCES... DEPS ...): one static library per src/ folder, included as
# "<folder>/<File>.h" from src/.
function(meridia_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_SOURCES)
    # A subsystem whose sources are headers only so far.
    add_library(meridia_${name} INTERFACE)
    target_include_directories(meridia_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(meridia_${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(meridia_${name} STATIC ${ARG_SOURCES})
  target_include_directories(meridia_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(meridia_${name} PUBLIC ${ARG_DEPS})
endfunction()

# meridia_test(NAME SOURCES... DEPS ... [GL] [LABELS label]): one GoogleTest executable per
# subsystem, labelled unit. Tests that need a rendering context are labelled gl and run headless
# on the offscreen driver; end-to-end runs of the programs are labelled e2e.
function(meridia_test name)
  cmake_parse_arguments(ARG "GL" "" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  # One label per test: the discovered tests take their properties as a flat list.
  set(labels unit)
  set(props "")
  if(ARG_GL)
    set(labels gl)
    set(props ENVIRONMENT "SDL_VIDEODRIVER=offscreen")
  endif()
  if(ARG_LABELS)
    set(labels ${ARG_LABELS})
  endif()
  gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
                       PROPERTIES LABELS "${labels}" ${props} DISCOVERY_TIMEOUT 60)
endfunction()
