# Frame pacing, its clock and the camera's target: no GL, so the unit tests link it on machines without a display
# or GL. Included by the window program and by the tests, whichever comes first defines it.
if(NOT TARGET tremblo_pacing)
  add_library(tremblo_pacing STATIC
    ${PROJECT_SOURCE_DIR}/view/frame_clock.cpp
    ${PROJECT_SOURCE_DIR}/view/frame_pacing.cpp
    ${PROJECT_SOURCE_DIR}/view/camera.cpp
  )
  target_link_libraries(tremblo_pacing PUBLIC tremblo_core)
endif()
