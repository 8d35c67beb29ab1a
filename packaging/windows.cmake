# The Windows program as a user unpacks it: one folder with tavrin.exe, the
# Qt DLLs, the plugins Qt loads at run time in the folders beside the
# executable where Qt looks for them (platforms/, styles/, tls/), and the
# MinGW runtime DLLs that any of them needs.
#   cmake --install build-win-app --prefix <folder>
#   cd build-win-app && cpack -G ZIP
# The program keeps its files in that folder, a portable program.
install(TARGETS tavrin RUNTIME DESTINATION .)

# The Windows platform, the native look, and TLS through the system's own
# schannel for the update check.
set(tavrin_qt_plugins
  Qt6::QWindowsIntegrationPlugin platforms
  Qt6::QWindowsVistaStylePlugin styles
  Qt6::QSchannelBackendPlugin tls)
set(installed_plugins)
while(tavrin_qt_plugins)
  list(POP_FRONT tavrin_qt_plugins plugin folder)
  if(NOT TARGET ${plugin})
    message(FATAL_ERROR "This Qt has no ${plugin}; scripts/qt-mingw.sh builds one that has")
  endif()
  install(IMPORTED_RUNTIME_ARTIFACTS ${plugin} LIBRARY DESTINATION ${folder})
  list(APPEND installed_plugins "${folder}/$<TARGET_FILE_NAME:${plugin}>")
endwhile()

# The Qt libraries the program links.
set(tavrin_qt_libraries Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Network)
install(IMPORTED_RUNTIME_ARTIFACTS ${tavrin_qt_libraries} RUNTIME DESTINATION .)
set(installed_libraries)
foreach(library IN LISTS tavrin_qt_libraries)
  list(APPEND installed_libraries "$<TARGET_FILE_NAME:${library}>")
endforeach()

# Where the compiler's runtime DLLs are.
set(runtime_dirs)
foreach(runtime libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${path}")
    cmake_path(GET path PARENT_PATH dir)
    cmake_path(NORMAL_PATH dir)
    list(APPEND runtime_dirs ${dir})
  endif()
endforeach()

# Every runtime DLL that the executable, the Qt libraries and the plugins
# load goes beside the executable; the rest are Windows' own. (CMake looks
# the names up in lower case, as Windows would: Qt's own mixed-case names
# are installed above instead.)
install(CODE "
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND \"${CMAKE_OBJDUMP}\")
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(libraries)
  foreach(library ${installed_libraries})
    list(APPEND libraries \"\${root}/\${library}\")
  endforeach()
  set(modules)
  foreach(plugin ${installed_plugins})
    list(APPEND modules \"\${root}/\${plugin}\")
  endforeach()
  file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES \"\${root}/tavrin.exe\"
    LIBRARIES \${libraries}
    MODULES \${modules}
    DIRECTORIES ${runtime_dirs}
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR system
    PRE_EXCLUDE_REGEXES \"^api-ms-\" \"^ext-ms-\" \"^qt6\")
  foreach(dll IN LISTS found)
    file(INSTALL \"\${dll}\" DESTINATION \"\${root}\")
    # Debian's MinGW runtime DLLs carry their debugging symbols (22 of
    # libstdc++'s 24 MB); the folder gets them without.
    cmake_path(GET dll FILENAME name)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${root}/\${name}\"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR \"${CMAKE_STRIP} could not strip \${name}\")
    endif()
  endforeach()
  list(JOIN system \", \" system)
  message(STATUS \"From Windows: \${system}\")
")

set(CPACK_PACKAGE_NAME Tavrin)
set(CPACK_PACKAGE_VENDOR "The Tavrin developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
