# Included into Qt's own build by scripts/qt-mingw.sh (CMAKE_PROJECT_INCLUDE).
# Qt 6.4 is built as unity sources (several .cpp files compiled as one),
# which cuts the compile steps from about 1,070 to about 210, but it was not
# written for that: where two files of a target define the same internal
# name, that target, or those files, are compiled one by one instead.
set(tavrin_qt_unity_off_targets
  BundledPcre2
  BundledZLIB
  # Windows' headers, which most of its files include, define "interface".
  Network
)
# "directory|file" pairs, relative to Qt's source tree.
set(tavrin_qt_unity_off_sources
  "src/corelib|compat/removed_api.cpp"
  "src/corelib|global/qglobal.cpp"
  "src/corelib|global/qlogging.cpp"
  "src/corelib|global/qrandom.cpp"
  "src/corelib|io/qdebug.cpp"
  "src/corelib|io/qsettings.cpp"
  "src/corelib|io/qurlquery.cpp"
  "src/corelib|io/qurlrecode.cpp"
  "src/corelib|kernel/qmetaobjectbuilder.cpp"
  "src/corelib|serialization/qcborstreamwriter.cpp"
  "src/corelib|text/qlocale.cpp"
  "src/corelib|text/qstring.cpp"
  "src/corelib|text/qstringconverter.cpp"
  "src/corelib|text/qunicodetools.cpp"
  "src/corelib|time/qjalalicalendar.cpp"
  "src/corelib|tools/qcryptographichash.cpp"
  "src/corelib|tools/qshareddata.cpp"
  "src/gui|image/qicon.cpp"
  "src/gui|image/qimagereaderwriterhelpers.cpp"
  "src/gui|image/qpixmapcache.cpp"
  "src/gui|kernel/qgenericpluginfactory.cpp"
  "src/gui|kernel/qplatforminputcontextfactory.cpp"
  "src/gui|kernel/qplatformintegrationfactory.cpp"
  "src/gui|kernel/qplatformthemefactory.cpp"
  "src/gui|kernel/qwindowsysteminterface.cpp"
  "src/gui|text/windows/qwindowsfontengine.cpp"
  "src/gui|util/qpkmhandler.cpp"
  "src/plugins/platforms/windows|qwindowsmenu.cpp"
  "src/plugins/platforms/windows|qwindowspointerhandler.cpp"
  "src/plugins/styles/windowsvista|qwindowsxpstyle.cpp"
  "src/widgets|accessible/qaccessiblewidgets.cpp"
  "src/widgets|dialogs/qfiledialog.cpp"
  "src/widgets|dialogs/qfontdialog.cpp"
  "src/widgets|dialogs/qsidebar.cpp"
  "src/widgets|widgets/qmdiarea.cpp"
)

function(tavrin_qt_unity_exclusions)
  foreach(target IN LISTS tavrin_qt_unity_off_targets)
    if(TARGET ${target})
      set_property(TARGET ${target} PROPERTY UNITY_BUILD OFF)
    endif()
  endforeach()
  foreach(pair IN LISTS tavrin_qt_unity_off_sources)
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 dir)
    list(GET pair 1 file)
    set_source_files_properties("${CMAKE_SOURCE_DIR}/${dir}/${file}"
      DIRECTORY "${CMAKE_SOURCE_DIR}/${dir}"
      PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endforeach()
endfunction()
# After Qt's whole tree has been read, when every target exists.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tavrin_qt_unity_exclusions)
