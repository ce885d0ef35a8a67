# Checks which folder of src/ (and tools/) may include which:
#   cmake -DSOURCE_DIR=<checkout> -DQT_INCLUDE_DIR=<.../qt6> -P CheckLayers.cmake
# Prints every include that breaks a rule, as "file:line: includes X (reason)", and fails
# when there is one.
#
#   config  nothing of the project above it
#   serial  config (the doctor's texts; never link: the adapter to the link's port lives in board)
#   link    config
#   editor  config
#   board   config, serial, link (the connection the window and the tool share)
#   cli     config, serial, link, editor, board
#   ui      everything but cli and app (the window and the tool are siblings)
#   app     everything
#   tools   config (the simulated board keeps its own frame code)
# Only ui and app may include a Qt Gui or Qt Widgets header; link may include Qt Gui's image
# reader and image (<QImageReader>, <QImage>) and nothing else of Qt Gui: its picture source
# reads the pictures of the window and of halvexctl glyphs, with the same image plugins,
# without a display.
cmake_minimum_required(VERSION 3.25)

set(allowed_config config)
set(allowed_serial serial config)
set(allowed_link link config)
set(allowed_editor editor config)
set(allowed_board board serial link config)
set(allowed_cli cli board serial link editor config)
set(allowed_ui ui board serial link editor config)
set(allowed_app app ui cli board serial link editor config)
set(allowed_tools config)
set(gui_ok ui app)
set(image_ok link)
set(image_headers QImage QImageReader)
set(project_folders config serial link editor board cli ui app)

# The class headers of Qt Gui and Qt Widgets (<QPainter>, <QtWidgets/QWidget>, ...).
set(gui_headers "")
foreach(module QtGui QtWidgets)
    file(GLOB names RELATIVE "${QT_INCLUDE_DIR}/${module}" "${QT_INCLUDE_DIR}/${module}/Q*")
    list(APPEND gui_headers ${names})
endforeach()
if(NOT gui_headers)
    message(FATAL_ERROR "no Qt Gui or Widgets headers under '${QT_INCLUDE_DIR}'")
endif()

set(faults 0)
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}"
    "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp"
    "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
foreach(file IN LISTS files)
    if(file MATCHES "^src/([^/]+)/")
        set(layer "${CMAKE_MATCH_1}")
    else()
        set(layer tools)
    endif()
    if(NOT DEFINED allowed_${layer})
        message(SEND_ERROR "${file}: folder '${layer}' has no layering rule")
        math(EXPR faults "${faults} + 1")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${file}" lines)
    set(n 0)
    foreach(line IN LISTS lines)
        math(EXPR n "${n} + 1")
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
            continue()
        endif()
        set(target "${CMAKE_MATCH_1}")
        set(reason "")
        set(folder "")
        if(target MATCHES "^([A-Za-z]+)/")
            set(folder "${CMAKE_MATCH_1}")
        endif()
        if(folder IN_LIST project_folders)
            if(NOT folder IN_LIST allowed_${layer})
                set(reason "${layer} may not use ${folder}")
            endif()
        elseif(NOT layer IN_LIST gui_ok)
            get_filename_component(name "${target}" NAME)
            if(layer IN_LIST image_ok AND name IN_LIST image_headers AND NOT target MATCHES "^QtWidgets/")
                # the image reader only
            elseif(target MATCHES "^Qt(Gui|Widgets)/" OR name IN_LIST gui_headers)
                set(reason "${layer} may not use Qt Gui or Qt Widgets")
            endif()
        endif()
        if(reason)
            message("${file}:${n}: includes ${target} (${reason})")
            math(EXPR faults "${faults} + 1")
        endif()
    endforeach()
endforeach()

list(LENGTH files count)
if(faults GREATER 0)
    message(FATAL_ERROR "${faults} include(s) break the layering")
endif()
message("layering: ${count} files follow the rules")
