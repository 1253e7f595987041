# Tests of the headless runner: the script reader, options and state hash as units, then the
# program itself, run from the shell, and every example script.

add_executable(tremblo_runner_unit_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/test_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/script_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/script_runner_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/options_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/state_hash_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/run_session_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/scene_files_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/scene_commands_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/contact_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/grab_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/snapshot_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/runner/timeline_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_support.cpp
)
target_link_libraries(tremblo_runner_unit_tests PRIVATE tremblo_runner GTest::gtest)
target_compile_definitions(tremblo_runner_unit_tests PRIVATE TREMBLO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(tremblo_runner_unit_tests TEST_PREFIX "runner." DISCOVERY_TIMEOUT 60)

set(TREMBLO_RUNNER_CLI_CASES
  bad_scripts
  bad_invocations
  write_errors
  stdin
  trace_format
  sampling
  deterministic
  hash
  push_right_moves_every_point_toward_plus_y
  plastic_pendulum_suspension_yields
  tearing_needs_z
  examples
)
foreach(case IN LISTS TREMBLO_RUNNER_CLI_CASES)
  add_test(NAME runner.cli.${case}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/runner/cli_test.sh $<TARGET_FILE:tremblo-sim> ${case}
            ${PROJECT_SOURCE_DIR}/examples)
  set_tests_properties(runner.cli.${case} PROPERTIES LABELS runner TIMEOUT 600)
endforeach()
