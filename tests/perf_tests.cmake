# The step's batched passes against a plain step, the lists a build makes, and (in an
# executable of its own, which replaces operator new) a count of the step's allocations.
add_executable(tremblo_perf_tests
  ${PROJECT_SOURCE_DIR}/tests/test_main.cpp
  ${PROJECT_SOURCE_DIR}/tests/test_support.cpp
  ${PROJECT_SOURCE_DIR}/tests/perf/batched_step_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/perf/built_lists_test.cpp
)
target_link_libraries(tremblo_perf_tests PRIVATE tremblo_core GTest::gtest)
gtest_discover_tests(tremblo_perf_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS perf)

add_executable(tremblo_allocation_tests
  ${PROJECT_SOURCE_DIR}/tests/test_main.cpp
  ${PROJECT_SOURCE_DIR}/tests/test_support.cpp
  ${PROJECT_SOURCE_DIR}/tests/perf/step_allocation_test.cpp
  ${PROJECT_SOURCE_DIR}/bench/contact_scenes.cpp
)
target_link_libraries(tremblo_allocation_tests PRIVATE tremblo_core GTest::gtest)
gtest_discover_tests(tremblo_allocation_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS perf)
