# The X11 RandR backend's sources and libraries.
target_sources(tavrin_platform PRIVATE
  x11/x11_display_system.h x11/x11_display_system.cpp)
