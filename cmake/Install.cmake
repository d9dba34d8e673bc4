# Install layout: programs in bin/, the shared libraries in the library
# folder, data under share/corvintracer/, one man page per command.
# On Windows one folder holds programs, DLLs and data (cmake/Windows.cmake),
# and no man pages.
include_guard(GLOBAL)
if(WIN32)
    set(CMAKE_INSTALL_BINDIR ".")
    set(CMAKE_INSTALL_LIBDIR ".")
    set(CMAKE_INSTALL_DATADIR ".")
endif()
include(GNUInstallDirs)

if(WIN32)
    set(CORVIN_INSTALL_DATADIR ".")
    set(CORVIN_INSTALL_FULL_DATADIR "${CMAKE_INSTALL_FULL_BINDIR}")
else()
    set(CORVIN_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/corvintracer")
    set(CORVIN_INSTALL_FULL_DATADIR "${CMAKE_INSTALL_FULL_DATADIR}/corvintracer")
endif()
set(CORVIN_MAN_DIR "${CMAKE_SOURCE_DIR}/dist/man")

# The programs find the libraries relative to themselves, so an install
# under any prefix (/usr/local, /opt/..., a staging root) runs without
# ldconfig or LD_LIBRARY_PATH.
file(RELATIVE_PATH corvin_lib_from_bin "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
set(CORVIN_INSTALL_RPATH "$ORIGIN/${corvin_lib_from_bin}")

# corvin_install_command(target [FIXED_COMMAND_LINE])
# Installs a program and its man page dist/man/<target>.1. Every command but
# one whose command line is fixed also answers --help and --version and
# refuses a bad option with exit code 2; dist/tests checks that for each.
function(corvin_install_command target)
    cmake_parse_arguments(C "FIXED_COMMAND_LINE" "" "" ${ARGN})
    set(page "${CORVIN_MAN_DIR}/${target}.1")
    if(NOT EXISTS "${page}")
        message(FATAL_ERROR "${target} is installed without a man page: write ${page}")
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${CORVIN_INSTALL_RPATH}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
    set_property(GLOBAL APPEND PROPERTY CORVIN_INSTALLED_COMMANDS ${target})
    if(NOT C_FIXED_COMMAND_LINE)
        set_property(GLOBAL APPEND PROPERTY CORVIN_OPTION_COMMANDS ${target})
    endif()
    if(WIN32)
        return()
    endif()

    # @PROJECT_VERSION@ filled in; compressed without a time stamp, as
    # Debian wants man pages.
    set(man "${CMAKE_BINARY_DIR}/man/${target}.1")
    configure_file("${page}" "${man}" @ONLY)
    add_custom_command(OUTPUT "${man}.gz"
        COMMAND gzip -9nkf "${man}"
        DEPENDS "${man}" VERBATIM)
    add_custom_target(${target}_man ALL DEPENDS "${man}.gz")
    install(FILES "${man}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
endfunction()

# corvin_install_library(target): the run-time part of a shared library
# (the file and its SONAME link). No headers are public, so no link for
# building against it either.
function(corvin_install_library target)
    install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        COMPONENT Runtime NAMELINK_SKIP
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
endfunction()
