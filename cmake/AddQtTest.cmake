# add_qt_test(<name> SOURCES <files...> LIBS <targets...> LABELS <labels...>
#             [ENVIRONMENT <VAR=value...>] [TIMEOUT <seconds>])
#
# One Qt Test executable registered with ctest. Tests run on the offscreen
# platform unless their ENVIRONMENT says otherwise, so that no display is needed;
# labels (unit, gui, integration, e2e) let `ctest -L unit` run one kind alone.
function(add_qt_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    quadrelink_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        LABELS "${ARG_LABELS}"
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENVIRONMENT}")
endfunction()
