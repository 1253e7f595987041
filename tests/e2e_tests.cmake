# The window: frame pacing unit tests (no display needed), and the end-to-end test of the real
# program in a virtual X server (label e2e; needs the window program, Xvfb, xdotool, ImageMagick).

include(${PROJECT_SOURCE_DIR}/view/pacing.cmake)

add_executable(tremblo_pacing_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/test_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/view/frame_pacing_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/view/camera_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/view/frame_view_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/view/view_orbit_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/view/pick_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/view/grab_controls_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/test_support.cpp
)
target_link_libraries(tremblo_pacing_tests PRIVATE tremblo_pacing tremblo_run GTest::gtest)
gtest_discover_tests(tremblo_pacing_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

if(TARGET tremblo)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME window_e2e
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/window_e2e.py $<TARGET_FILE:tremblo>)
  set_tests_properties(window_e2e PROPERTIES LABELS e2e TIMEOUT 900)

  # Sessions recorded in the window replay headless to the hash written at their end.
  add_test(NAME window_run_e2e
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/window_run_e2e.py $<TARGET_FILE:tremblo>
            $<TARGET_FILE:tremblo-sim>)
  set_tests_properties(window_run_e2e PROPERTIES LABELS e2e TIMEOUT 900)
endif()
