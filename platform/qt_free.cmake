# Everything of the platform layer that needs no Qt: the interfaces, the
# display backend of the system being built for, and the simulated display
# system. The program's build includes it from platform/CMakeLists.txt; the
# Windows check (tests/platform/win32) includes it on its own, without Qt.
set(platform_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(tavrin_platform_base STATIC
  ${platform_dir}/win_types.h
  ${platform_dir}/display_system.h
  ${platform_dir}/display_system.cpp
  ${platform_dir}/change_waiter.h
  ${platform_dir}/change_announcer.h
  ${platform_dir}/change_announcer.cpp
  ${platform_dir}/run_entry.h
  ${platform_dir}/run_entry.cpp
  ${platform_dir}/null_display_system.h
)
target_include_directories(tavrin_platform_base PUBLIC ${platform_dir}/..)

if(WIN32)
  target_sources(tavrin_platform_base PRIVATE
    ${platform_dir}/win32/win32_display_system.h
    ${platform_dir}/win32/win32_display_system.cpp
    ${platform_dir}/win32/display_change_window.h
    ${platform_dir}/win32/display_change_window.cpp)
  target_link_libraries(tavrin_platform_base PUBLIC gdi32 user32)
else()
  include(${platform_dir}/x11/backend.cmake)
endif()

# The simulated display system, for tests and benchmarks.
add_library(tavrin_platform_sim STATIC
  ${platform_dir}/sim/sim_display_system.h
  ${platform_dir}/sim/sim_display_system.cpp
  ${platform_dir}/sim/sim_run_entry.h
)
target_link_libraries(tavrin_platform_sim PUBLIC tavrin_platform_base)
