# Lays out the Windows program with what it loads and packs it into a zip
# (run by packaging/windows/CMakeLists.txt with cmake -P; the variables are
# given there).
#
# Qt loads its platform plugin (qwindows) and its style (the Windows style of
# the system's look) from folders beside the program; the application icon
# comes from the program's own resources through the system, so no image
# reader is needed. Every DLL that the program or those
# plugins import from Qt or the compiler's runtime goes beside the program. An
# import found in neither is a Windows system DLL; one that looks like Qt or
# the runtime but is not found fails the packing.
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")

get_filename_component(exe_name "${EXE}" NAME)
execute_process(COMMAND "${STRIP}" -o "${STAGE}/${exe_name}" "${EXE}" COMMAND_ERROR_IS_FATAL ANY)

set(plugins platforms/qwindows.dll styles/qwindowsvistastyle.dll)
set(plugin_files)
foreach(plugin IN LISTS plugins)
    if(NOT EXISTS "${QT_PLUGINS}/${plugin}")
        message(FATAL_ERROR "Qt plugin missing: ${QT_PLUGINS}/${plugin}")
    endif()
    get_filename_component(kind "${plugin}" DIRECTORY)
    file(COPY "${QT_PLUGINS}/${plugin}" DESTINATION "${STAGE}/${kind}")
    list(APPEND plugin_files "${QT_PLUGINS}/${plugin}")
endforeach()

set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "windows+pe")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "${OBJDUMP}")
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES "${EXE}"
    LIBRARIES ${plugin_files}
    DIRECTORIES ${DLL_DIRS}
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR system)
foreach(name IN LISTS system)
    if(name MATCHES "^(qt6|lib)")
        message(FATAL_ERROR "${name} is needed but was not found in ${DLL_DIRS}")
    endif()
endforeach()
file(COPY ${found} DESTINATION "${STAGE}")

file(COPY_FILE "${LICENSE}" "${STAGE}/LICENSE.txt")
file(COPY_FILE "${README}" "${STAGE}/README.txt")
file(COPY "${QT_LICENSES}/" DESTINATION "${STAGE}/licenses/Qt")

get_filename_component(stage_name "${STAGE}" NAME)
get_filename_component(stage_parent "${STAGE}" DIRECTORY)
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${stage_name}"
                WORKING_DIRECTORY "${stage_parent}" COMMAND_ERROR_IS_FATAL ANY)
list(TRANSFORM found REPLACE ".*/" "")
list(JOIN found " " found)
message(STATUS "${ZIP}: ${exe_name}, ${found}, ${plugins}")
