# The test programs of a Windows build (cross-built with mingw-w64; scripts/test.d/windows-program.sh
# runs them under Wine). The suites that need Linux (the dial-up back-ends, the XDG autostart
# store, mounts, nginx, the web engine, X displays) are not among them. The socket component and
# the HTTP client run against the same scripted servers on 127.0.0.1, there on Winsock.
set(_w ${CMAKE_CURRENT_LIST_DIR})
set(_t ${CMAKE_CURRENT_LIST_DIR}/..)

function(tarv_add_windows_test name)
    cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
    add_executable(${name} ${T_UNPARSED_ARGUMENTS})
    target_include_directories(${name} PRIVATE ${_t}/meter ${_t}/shell ${_t}/stats ${_t}/options)
    target_link_libraries(${name} PRIVATE tarvtestmain tarvfakes ${T_LIBS})
    target_compile_definitions(${name} PRIVATE TARV_SCREENSHOT_DIR="screenshots")
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
endfunction()

tarv_add_windows_test(test_meter
    ${_t}/meter/test_textformat.cpp ${_t}/meter/test_ledger.cpp ${_t}/meter/test_tick.cpp LIBS tarvcore)
tarv_add_windows_test(test_startup ${_t}/app/test_startup.cpp LIBS tarvapp)
tarv_add_windows_test(test_ledgerstats ${_t}/stats/test_ledgerstats.cpp LIBS tarvcore)
tarv_add_windows_test(test_stats
    ${_t}/stats/test_statspanel.cpp ${_t}/stats/test_graph.cpp ${_t}/stats/test_screenshots.cpp LIBS tarvchart)
tarv_add_windows_test(test_options
    ${_t}/options/test_updown.cpp ${_t}/options/test_tfrmoptions.cpp LIBS tarvgui)
tarv_add_windows_test(test_shell
    ${_t}/shell/test_outline.cpp ${_t}/shell/test_trayicon.cpp ${_t}/shell/test_mainwindow.cpp
    ${_t}/shell/test_screenshots.cpp LIBS tarvchart)
find_package(Qt6 REQUIRED COMPONENTS Network)
tarv_add_windows_test(test_vendor
    ${_t}/shell/test_vendor_popupfile.cpp ${_t}/shell/test_vendor_menu.cpp ${_t}/shell/test_vendor_form.cpp
    LIBS tarvgui Qt6::Network)
tarv_add_windows_test(test_net
    ${_t}/net/test_headerlist_encoders.cpp ${_t}/net/test_socketclient.cpp ${_t}/net/test_sockettransfers.cpp
    ${_t}/net/test_httpclient.cpp LIBS tarvnet)
target_include_directories(test_net PRIVATE ${_t}/net)
tarv_add_windows_test(test_net_hostile ${_t}/net/test_hostile.cpp LIBS tarvnet)
target_include_directories(test_net_hostile PRIVATE ${_t}/net)
# The light banner view, the only one on Windows.
tarv_add_windows_test(test_banner_text ${_t}/shell/test_banner_text.cpp ${_t}/shell/test_banner_links.cpp
    ${_t}/shell/test_banner_limits.cpp
    LIBS tarvchart)
target_include_directories(test_banner_text PRIVATE ${_t}/net)
# The Windows program's own pieces: the notification-area host, the data folder rule and the
# connection's bytes from the remote-access statistics (over the stand-in library).
tarv_add_windows_test(test_windows_program ${_w}/test_notifytrayhost.cpp ${_w}/test_datafolder.cpp
    ${_w}/test_windowsfront.cpp ${_w}/test_rastraffic.cpp LIBS tarvapp)
target_compile_definitions(test_windows_program PRIVATE TARV_VERSION="${PROJECT_VERSION}")
# The spending limits' cycle, settings and levels (Qt Core).
tarv_add_windows_test(test_limits ${_t}/limits/test_cycle.cpp ${_t}/limits/test_limitsettings.cpp LIBS tarvcore)
