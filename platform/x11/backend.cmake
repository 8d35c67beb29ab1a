# The X11 RandR backend's sources and libraries.
find_package(X11 REQUIRED)
if(NOT TARGET X11::Xrandr)
  message(FATAL_ERROR "The X11 backend needs libXrandr (libxrandr-dev)")
endif()
target_sources(tavrin_platform PRIVATE
  x11/edid.h x11/edid.cpp
  x11/gamma_resample.h x11/gamma_resample.cpp
  x11/display_records.h x11/display_records.cpp
  x11/x11_connection.h x11/x11_connection.cpp
  x11/randr_snapshot.h x11/randr_snapshot.cpp
  x11/x11_display_system.h x11/x11_display_system.cpp)
target_link_libraries(tavrin_platform PRIVATE X11::X11 X11::Xrandr)
