# Every project include names its folder from the project root, and no folder
# includes from a layer above it: app -> controls -> platform,
# app -> engine -> platform, cli -> engine. Run with -DROOT=<project root>.
#
# Each rule: a folder, the folders it may include from, and whether it may use
# widgets (QtGui/QtWidgets headers). The namespace library of the folder tree
# is QtCore only, so its two units have a rule of their own.

set(failures "")

function(check_files files allowed widgets)
  foreach(file ${files})
    file(RELATIVE_PATH rel "${ROOT}" "${file}")
    # The forms name the headers of their custom widgets, which their
    # generated code includes.
    file(STRINGS "${file}" lines REGEX "^[ \t]*(#[ \t]*include|<header>)")
    foreach(line ${lines})
      if(line MATCHES "(#[ \t]*include[ \t]*\"|<header>)([^\"<]+)(\"|</header>)")
        set(inc "${CMAKE_MATCH_2}")
        if(inc MATCHES "^ui_.*\\.h$" OR inc MATCHES "\\.moc$")
          continue()
        endif()
        if(NOT EXISTS "${ROOT}/${inc}")
          list(APPEND failures "${rel}: \"${inc}\" does not name its folder from the project root")
          continue()
        endif()
        set(ok FALSE)
        foreach(prefix ${allowed})
          string(LENGTH "${prefix}" n)
          string(SUBSTRING "${inc}" 0 ${n} head)
          if(head STREQUAL prefix)
            set(ok TRUE)
          endif()
        endforeach()
        if(NOT ok)
          list(APPEND failures "${rel}: \"${inc}\" reaches outside its layer")
        endif()
      elseif(NOT widgets AND line MATCHES "#[ \t]*include[ \t]*<(Qt(Gui|Widgets)/|Q(Widget|Dialog|Application|Icon|Pixmap|Image|Painter|MessageBox|Action|Menu|Font)[A-Za-z]*>)")
        list(APPEND failures "${rel}: widget header in a layer without widgets: ${line}")
      endif()
    endforeach()
  endforeach()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

macro(rule folder allowed widgets)
  file(GLOB_RECURSE files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.ui")
  list(FILTER files EXCLUDE REGEX "/demo/")
  list(FILTER files EXCLUDE REGEX "/(PidlHelp|ShellNamespace)\\.(h|cpp)$")
  check_files("${files}" "${allowed}" ${widgets})
endmacro()

rule(platform "platform/" FALSE)
rule(engine "platform/;engine/" FALSE)
rule(cli "platform/;engine/;cli/" FALSE)
rule(controls/filelist "platform/;controls/filelist/" TRUE)
rule(controls/foldertree "platform/;controls/foldertree/" TRUE)
rule(app "platform/;engine/;controls/;app/" TRUE)
file(GLOB namespace_files "${ROOT}/controls/foldertree/PidlHelp.*" "${ROOT}/controls/foldertree/ShellNamespace.*")
list(FILTER namespace_files EXCLUDE REGEX "\\.ui$")
check_files("${namespace_files}" "platform/;controls/foldertree/PidlHelp.h;controls/foldertree/ShellNamespace.h" FALSE)

# The main window's generated form is its own: only TMainForm's files include
# it. The run control is handed the widgets it uses, and the tests and the
# benchmarks find the window's widgets by their names.
set(form_owners app/QvlMain.cpp app/QvlMainPaths.cpp app/QvlMainSync.cpp app/QvlMainOptions.cpp)
foreach(folder app cli controls engine platform tests bench)
  file(GLOB_RECURSE files "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(file ${files})
    file(RELATIVE_PATH rel "${ROOT}" "${file}")
    list(FIND form_owners "${rel}" owner)
    if(owner EQUAL -1)
      file(STRINGS "${file}" lines REGEX "#[ \t]*include[ \t]*[\"<]ui_QvlMain\\.h[\">]")
      if(lines)
        list(APPEND failures "${rel}: includes the main window's generated form, which is TMainForm's own")
      endif()
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "Every include names its folder and stays in its layer.")
