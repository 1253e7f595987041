# What a frame shows, computed without GL: the window and the page both draw it. Included by
# whoever needs it first.
if(NOT TARGET tremblo_frame)
  add_library(tremblo_frame STATIC ${PROJECT_SOURCE_DIR}/view/frame_view.cpp)
  target_link_libraries(tremblo_frame PUBLIC tremblo_core)
endif()
