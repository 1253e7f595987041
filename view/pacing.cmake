# Frame pacing, its clock, the camera's target, the person's view, the grab's pointer and what a frame shows: no GL, so the unit tests
# and the page link it on machines without a display or GL. Included by the window program, the
# page and the tests, whichever comes first defines it.
if(NOT TARGET tremblo_pacing)
  add_library(tremblo_pacing STATIC
    ${PROJECT_SOURCE_DIR}/view/frame_clock.cpp
    ${PROJECT_SOURCE_DIR}/view/frame_pacing.cpp
    ${PROJECT_SOURCE_DIR}/view/camera.cpp
    ${PROJECT_SOURCE_DIR}/view/frame_view.cpp
    ${PROJECT_SOURCE_DIR}/view/view_orbit.cpp
    ${PROJECT_SOURCE_DIR}/view/view_controls.cpp
    ${PROJECT_SOURCE_DIR}/view/pick.cpp
    ${PROJECT_SOURCE_DIR}/view/grab_controls.cpp
  )
  target_link_libraries(tremblo_pacing PUBLIC tremblo_core)
endif()
