# Random-input soak of the core and the checks it relies on. The long runs are split by seed
# into separate CTest tests so that `ctest -j` spreads them over the cores. The pinned state
# hashes of the example scripts come last.
add_executable(tremblo_soak_tests
  test_main.cpp
  test_support.cpp
  soak/scene_watch.cpp
  soak/soak_driver.cpp
  soak/heap_gauge.cpp
  soak/scene_watch_test.cpp
  soak/soak_random_test.cpp
  soak/restart_memory_test.cpp
  soak/flick_soak_test.cpp
  soak/moderate_soak_test.cpp
  soak/contact_soak_test.cpp
  ${PROJECT_SOURCE_DIR}/bench/contact_scenes.cpp
  soak/grab_soak_test.cpp
)
target_link_libraries(tremblo_soak_tests PRIVATE tremblo_core tremblo_run GTest::gtest)
target_compile_definitions(tremblo_soak_tests PRIVATE TREMBLO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(tremblo_soak_tests
  DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS soak TIMEOUT 900
)

include(${CMAKE_CURRENT_SOURCE_DIR}/determinism/determinism_tests.cmake)
