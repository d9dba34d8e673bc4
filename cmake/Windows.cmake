# The Windows build of the program: icon, version resource and manifest of
# the executable, and what an installed copy needs beside it (Qt's DLLs and
# plugins, the compiler's run-time DLLs). Installed, the program folder holds
# everything (Program Files\Corvintracer, or the unpacked ZIP):
#   corvintracer.exe and the commands, koralink.dll, portquest.dll,
#   Qt6Core/Gui/Widgets.dll, platforms\qwindows.dll, styles\, the run-time
#   DLLs, lang\, docs\, labs\default.lab.
include_guard(GLOBAL)

# One C++ run-time in the program's process: Qt's DLLs are linked against
# mingw's shared libstdc++-6.dll, libgcc_s_seh-1.dll and libwinpthread-1.dll,
# so the program is too and they ship beside it. koralink.dll, portquest.dll
# and the commands keep theirs inside (corvin_static_runtime): they pass only
# C types across their boundary, and so run without these DLLs elsewhere.
set(CORVIN_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)

find_program(CORVIN_RSVG_CONVERT rsvg-convert)
find_program(CORVIN_IM_CONVERT NAMES convert)

# corvin_windows_program(target description): icon (made from
# dist/corvintracer.svg at build time), version resource and manifest.
function(corvin_windows_program target description)
    set(dir "${CMAKE_BINARY_DIR}/windows")
    set(svg "${CMAKE_SOURCE_DIR}/dist/corvintracer.svg")
    set(ico "${dir}/corvintracer.ico")
    if(NOT CORVIN_RSVG_CONVERT OR NOT CORVIN_IM_CONVERT)
        message(FATAL_ERROR "the Windows icon needs rsvg-convert (librsvg2-bin) and convert (imagemagick)")
    endif()
    # rsvg-convert draws the SVG (gradients included) at each size Windows
    # asks for; ImageMagick packs the PNGs into one .ico.
    set(pngs "")
    set(commands "")
    foreach(size 256 64 48 32 24 16)
        list(APPEND pngs "${dir}/icon-${size}.png")
        list(APPEND commands COMMAND "${CORVIN_RSVG_CONVERT}" -w ${size} -h ${size}
            -o "${dir}/icon-${size}.png" "${svg}")
    endforeach()
    add_custom_command(OUTPUT "${ico}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
        ${commands}
        COMMAND "${CORVIN_IM_CONVERT}" ${pngs} "${ico}"
        DEPENDS "${svg}" VERBATIM)

    set(CORVIN_RC_NAME ${target})
    set(CORVIN_RC_FILE ${target}.exe)
    set(CORVIN_RC_DESCRIPTION "${description}")
    set(CORVIN_RC_ICON "${ico}")
    set(CORVIN_RC_MANIFEST "${CMAKE_SOURCE_DIR}/dist/windows/program.manifest")
    configure_file("${CMAKE_SOURCE_DIR}/dist/windows/program.rc.in" "${dir}/${target}.rc" @ONLY)
    set_source_files_properties("${dir}/${target}.rc" PROPERTIES
        OBJECT_DEPENDS "${ico};${CMAKE_SOURCE_DIR}/dist/windows/program.manifest")
    target_sources(${target} PRIVATE "${dir}/${target}.rc")
endfunction()

# corvin_windows_deploy(): install rules for Qt's DLLs and plugins and the
# run-time DLLs, from the Qt found by find_package and from the compiler.
function(corvin_windows_deploy)
    get_target_property(core Qt6::Core IMPORTED_LOCATION_RELEASE)
    if(NOT core)
        get_target_property(core Qt6::Core IMPORTED_LOCATION)
    endif()
    get_filename_component(qtbin "${core}" DIRECTORY)
    get_filename_component(qtroot "${qtbin}" DIRECTORY)
    install(FILES "${qtbin}/Qt6Core.dll" "${qtbin}/Qt6Gui.dll" "${qtbin}/Qt6Widgets.dll"
        DESTINATION . COMPONENT Runtime)
    # qoffscreen: corvintracer-lang builds the panels without showing them.
    install(FILES "${qtroot}/plugins/platforms/qwindows.dll"
        "${qtroot}/plugins/platforms/qoffscreen.dll" DESTINATION platforms COMPONENT Runtime)
    install(FILES "${qtroot}/plugins/styles/qwindowsvistastyle.dll" DESTINATION styles
        COMPONENT Runtime)
    # The copies that came with Qt (the ones it was linked against, from the
    # same mingw-w64 as this build), else the compiler's.
    foreach(dll IN LISTS CORVIN_RUNTIME_DLLS)
        set(path "${qtbin}/${dll}")
        if(NOT EXISTS "${path}")
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        endif()
        install(FILES "${path}" DESTINATION . COMPONENT Runtime)
    endforeach()
endfunction()
