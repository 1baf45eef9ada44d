# One library target per src/ folder, named korvis_<folder>, made of every .cpp in it.
# A folder with no sources yet is an interface target, so that its dependants still configure.
function(korvis_module name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(korvis_${name} STATIC ${srcs})
    target_include_directories(korvis_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(korvis_${name} PUBLIC ${M_DEPS})
  else()
    add_library(korvis_${name} INTERFACE)
    target_include_directories(korvis_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(korvis_${name} INTERFACE ${M_DEPS})
  endif()
endfunction()

# One GoogleTest program per tests/ folder, made of every .cpp in it.
function(korvis_tests name)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name}_tests ${srcs})
  target_link_libraries(${name}_tests PRIVATE ${T_DEPS} korvis_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name}_tests PRIVATE
    KORVIS_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KORVIS_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}_tests
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${name})
endfunction()
