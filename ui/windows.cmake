# The Qt windows, built as a library that the application and the Qt tests link.
find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets Charts)

add_library(quarvel_ui STATIC
  About.cpp About.h
  Application.cpp Application.h
  ChartDialog.cpp ChartDialog.h
  Charts.cpp Charts.h
  Gp.cpp Gp.h
  Graphwindow.cpp Graphwindow.h
  GridModel.cpp GridModel.h
  RadioGroup.cpp RadioGroup.h
  Unit1.cpp Unit1.h
  Unit5.cpp Unit5.h
  Unit6.cpp Unit6.h
  UserDialogs.cpp UserDialogs.h
  WindowFont.cpp WindowFont.h
)
set_target_properties(quarvel_ui PROPERTIES AUTOMOC ON)
target_include_directories(quarvel_ui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quarvel_ui PUBLIC Qt6::Widgets Qt6::Charts quarvel_frontend)
