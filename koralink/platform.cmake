# The one place that picks koralink's platform backends: serial and TCP
# lines, the network start-up and resolver, the UDP socket of converter discovery, and the system's own list of
# serial ports. Everything else of the library is the same on every system.
if(WIN32)
    set(KORALINK_LINE_BACKENDS
        ${CMAKE_CURRENT_LIST_DIR}/src/serial_win.cpp
        ${CMAKE_CURRENT_LIST_DIR}/src/tcp_win.cpp)
    set(KORALINK_LINE_SYSTEM_LIBS ws2_32)
    set(KORALINK_NET_BACKEND ${CMAKE_CURRENT_LIST_DIR}/src/winsock_win.cpp)
    set(KORALINK_NET_SYSTEM_LIBS ws2_32)
    set(KORALINK_UDP_BACKEND ${CMAKE_CURRENT_LIST_DIR}/lan/udp_win.cpp)
    set(KORALINK_UDP_SYSTEM_LIBS ws2_32 iphlpapi)
    # The SetupAPI walk is portquest's; sysfs does not exist here.
    set(KORALINK_SYSFS_BACKEND "")
    set(KORALINK_PORTS_BACKEND ${CMAKE_CURRENT_LIST_DIR}/ports/src/system_ports_setupapi.cpp)
    set(KORALINK_PORTS_SYSTEM_LIBS portquest_setupapi)
else()
    set(KORALINK_LINE_BACKENDS
        ${CMAKE_CURRENT_LIST_DIR}/src/serial_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/src/tcp_posix.cpp)
    set(KORALINK_LINE_SYSTEM_LIBS "")
    set(KORALINK_NET_BACKEND ${CMAKE_CURRENT_LIST_DIR}/src/net_posix.cpp)
    set(KORALINK_NET_SYSTEM_LIBS "")
    set(KORALINK_UDP_BACKEND ${CMAKE_CURRENT_LIST_DIR}/lan/udp_posix.cpp)
    set(KORALINK_UDP_SYSTEM_LIBS "")
    set(KORALINK_SYSFS_BACKEND ${CMAKE_CURRENT_LIST_DIR}/ports/src/sysfs.cpp)
    set(KORALINK_PORTS_BACKEND ${CMAKE_CURRENT_LIST_DIR}/ports/src/system_ports_sysfs.cpp)
    set(KORALINK_PORTS_SYSTEM_LIBS "")
endif()

# The shared library's export list: a version script for ELF; on Windows the
# KORALINK_API calls are marked dllexport and the DLL carries no "lib" prefix.
function(koralink_export_list target)
    if(WIN32)
        set_target_properties(${target} PROPERTIES PREFIX "")
        corvin_static_runtime(${target})
    else()
        target_link_options(${target} PRIVATE
            "-Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/src/exports.map")
        set_target_properties(${target} PROPERTIES
            LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/exports.map)
    endif()
endfunction()
