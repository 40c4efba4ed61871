# Fails when a source file includes a header of a layer it must not depend
# on, or when Qt creeps into a layer that has to build without it.
#
#   cmake -DSOURCE_DIR=<repository> -P check_layers.cmake
#
# Each layer lists the folders of ours its files may include. Headers of
# other projects (<...> includes) are not ours and pass, except Qt's in the
# Qt-free layers.
cmake_minimum_required(VERSION 3.25)

# base/ holds helpers every layer may use; it uses nothing of ours.
set(allowed_base base)
set(allowed_console console base)
set(allowed_serial serial base)
set(allowed_link link serial console base)
# The templates name their controls by the console's identifiers.
set(allowed_res res console/control_ids.h base)
set(allowed_widgets widgets res base)
set(allowed_trends trends console base)
set(allowed_telemetry telemetry console base)
set(allowed_shell shell console serial link widgets res trends telemetry base)
# The service is a second shell: the Qt-free layers, and the window's rules
# that need no window (the port keys, the command line's reports).
set(allowed_service service console serial link res/dialog_template.h res/version.h telemetry base
    shell/port_window/port_traffic.h shell/command_line/config_check.h shell/command_line/port_listing.h)
set(allowed_tools tools console serial base)
set(qt_free base console serial link trends telemetry res/dialog_template res/dialog_templates tools service)

set(violations "")
foreach(layer base console serial link trends telemetry res widgets shell service tools)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    set(qt_free_source FALSE)
    foreach(prefix IN LISTS qt_free)
      string(FIND "${source}" "${prefix}" at)
      if(at EQUAL 0)
        set(qt_free_source TRUE)
      endif()
    endforeach()
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*$" "\\1" header "${line}")
      if(qt_free_source AND header MATCHES "^Q[A-Za-z]*$|^Qt[A-Za-z]*/")
        string(APPEND violations "  ${source}: Qt header <${header}> in a Qt-free layer\n")
      endif()
      if(NOT header MATCHES "^(base|console|serial|link|res|widgets|shell|service|tools|tests|trends|telemetry|bench|fuzz)/")
        continue()
      endif()
      set(ok FALSE)
      foreach(permitted IN LISTS allowed_${layer})
        string(FIND "${header}" "${permitted}" at)
        if(at EQUAL 0)
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        string(APPEND violations "  ${source}: includes \"${header}\", outside what ${layer}/ may use (${allowed_${layer}})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Layering broken:\n${violations}")
endif()
message(STATUS "layers: every include points down")
