# The X11 RandR backend's sources and libraries.
find_package(X11 REQUIRED)
if(NOT TARGET X11::Xrandr)
  message(FATAL_ERROR "The X11 backend needs libXrandr (libxrandr-dev)")
endif()
if(NOT TARGET X11::X11_xcb OR NOT TARGET X11::xcb_randr)
  message(FATAL_ERROR "The X11 backend needs libX11-xcb and xcb-randr (libx11-xcb-dev, libxcb-randr0-dev)")
endif()
set(x11_dir ${CMAKE_CURRENT_LIST_DIR})
target_sources(tavrin_platform_base PRIVATE
  ${x11_dir}/edid.h ${x11_dir}/edid.cpp
  ${x11_dir}/gamma_resample.h ${x11_dir}/gamma_resample.cpp
  ${x11_dir}/display_records.h ${x11_dir}/display_records.cpp
  ${x11_dir}/mode_order.h ${x11_dir}/mode_order.cpp
  ${x11_dir}/icc_publication.h ${x11_dir}/icc_publication.cpp
  ${x11_dir}/x11_connection.h ${x11_dir}/x11_connection.cpp
  ${x11_dir}/randr_events.h ${x11_dir}/randr_events.cpp
  ${x11_dir}/x11_link.h
  ${x11_dir}/x11_change_waiter.h ${x11_dir}/x11_change_waiter.cpp
  ${x11_dir}/randr_snapshot.h ${x11_dir}/randr_snapshot.cpp
  ${x11_dir}/x11_display_system.h ${x11_dir}/x11_display_system.cpp)
target_link_libraries(tavrin_platform_base PRIVATE X11::X11 X11::Xrandr X11::X11_xcb X11::xcb
                      X11::xcb_randr)
