# corvin_add_panels(<target> RESOURCE <name> PANELS <file.ui> <number> [<file.ui> <number>...])
#
# Compiles each panel's Designer file with uic and makes <target>, an OBJECT
# library whose table hands "<name>.uir" panel <number> to the toolkit's
# LoadPanel (an OBJECT library, so that the table's static registration is
# in every binary that takes its objects). From the same files it generates,
# in <target>'s include path: <base>.h (control and menu ids) and
# <base>_callbacks.h (the callbacks each file names). The sources that bind
# them are in <target>'s properties CORVIN_CALLBACK_SOURCES (panel and
# control callbacks) and CORVIN_MENU_SOURCES (menu-bar commands), for the
# targets that define those callbacks (corvin_panel_callbacks()).
include_guard(GLOBAL)

set(CORVIN_PANEL_GEN ${CMAKE_CURRENT_LIST_DIR}/panel_gen.cmake)

function(corvin_add_panels target)
    cmake_parse_arguments(P "" "RESOURCE" "PANELS" ${ARGN})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_gen)
    file(MAKE_DIRECTORY ${out})
    set(spec "")
    set(uis "")
    set(outputs ${out}/${P_RESOURCE}_table.cpp)
    set(callback_sources "")
    set(menu_sources "")
    list(LENGTH P_PANELS n)
    math(EXPR last "${n} - 1")
    foreach(i RANGE 0 ${last} 2)
        math(EXPR j "${i} + 1")
        list(GET P_PANELS ${i} ui)
        list(GET P_PANELS ${j} number)
        get_filename_component(ui ${ui} ABSOLUTE)
        get_filename_component(base ${ui} NAME_WE)
        list(APPEND uis ${ui})
        list(APPEND spec "${ui}|${number}")
        list(APPEND outputs ${out}/${base}.h ${out}/${base}_callbacks.h
            ${out}/${base}_callbacks.cpp ${out}/${base}_menu_callbacks.cpp)
        list(APPEND callback_sources ${out}/${base}_callbacks.cpp)
        # Which files have a menu bar is known at configure time, so that
        # only those add a source to the menu's target.
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ui})
        file(STRINGS ${ui} has_bar REGEX "class=\"QMenuBar\"")
        if(has_bar)
            list(APPEND menu_sources ${out}/${base}_menu_callbacks.cpp)
        endif()
    endforeach()
    string(REPLACE ";" "," spec_arg "${spec}")
    add_custom_command(OUTPUT ${outputs}
        COMMAND ${CMAKE_COMMAND} -DRESOURCE=${P_RESOURCE} -DOUT=${out} "-DPANELS=${spec_arg}"
            -P ${CORVIN_PANEL_GEN}
        DEPENDS ${uis} ${CORVIN_PANEL_GEN}
        COMMENT "Generating panel ids, callbacks and table of ${P_RESOURCE}"
        VERBATIM)
    qt6_wrap_ui(uic_headers ${uis})
    add_library(${target} OBJECT ${out}/${P_RESOURCE}_table.cpp ${uic_headers})
    target_include_directories(${target} PUBLIC ${out} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(${target} PUBLIC corvin_toolkit)
    # Callers compile these into the targets that define the callbacks.
    set_source_files_properties(${callback_sources} ${menu_sources} PROPERTIES GENERATED TRUE)
    add_custom_target(${target}_gen DEPENDS ${outputs})
    add_dependencies(${target} ${target}_gen)
    set_target_properties(${target} PROPERTIES
        CORVIN_CALLBACK_SOURCES "${callback_sources}"
        CORVIN_MENU_SOURCES "${menu_sources}")
endfunction()

# corvin_panel_callbacks(<target> <panels target> CALLBACKS|MENUS): compiles
# the registration of <panels target>'s panel callbacks (or menu commands)
# into <target>, which defines them.
function(corvin_panel_callbacks target panels kind)
    if(kind STREQUAL "MENUS")
        get_target_property(sources ${panels} CORVIN_MENU_SOURCES)
    else()
        get_target_property(sources ${panels} CORVIN_CALLBACK_SOURCES)
    endif()
    target_sources(${target} PRIVATE ${sources})
    add_dependencies(${target} ${panels}_gen)
endfunction()
