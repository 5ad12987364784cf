# Lays out the Windows program with what it loads and packs it into a zip
# (run by packaging/windows/CMakeLists.txt with cmake -P; the variables are
# given there).
#
# Qt loads its platform plugin (qwindows) and its style (the modern Windows
# style, which draws as Windows 11 does there and as Windows 10 elsewhere)
# from folders beside the program; the application icon
# comes from the program's own resources through the system, so no image
# reader is needed. Every DLL that the program or those
# plugins import from Qt or the compiler's runtime goes beside the program. An
# import found in neither is a Windows system DLL; one that looks like Qt or
# the runtime but is not found fails the packing.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")

# Every binary is copied without its symbols and debugging sections (the
# compiler's runtime DLLs of Debian's MinGW carry them: libstdc++ is 23 MB).
function(copy_stripped binary destination)
    get_filename_component(name "${binary}" NAME)
    execute_process(COMMAND "${STRIP}" --strip-unneeded -o "${destination}/${name}" "${binary}"
                    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

get_filename_component(exe_name "${EXE}" NAME)
copy_stripped("${EXE}" "${STAGE}")

set(plugins platforms/qwindows.dll styles/qmodernwindowsstyle.dll)
set(plugin_files)
foreach(plugin IN LISTS plugins)
    if(NOT EXISTS "${QT_PLUGINS}/${plugin}")
        message(FATAL_ERROR "Qt plugin missing: ${QT_PLUGINS}/${plugin}")
    endif()
    get_filename_component(kind "${plugin}" DIRECTORY)
    file(MAKE_DIRECTORY "${STAGE}/${kind}")
    list(APPEND plugin_files "${QT_PLUGINS}/${plugin}")
endforeach()

# The DLLs by their names in the import tables; Windows matches names without
# regard to case, and so does the search here.
set(known)
foreach(dir IN LISTS DLL_DIRS)
    file(GLOB dlls "${dir}/*.dll")
    list(APPEND known ${dlls})
endforeach()
set(pending "${EXE}" ${plugin_files})
set(found)
set(seen)
while(pending)
    list(POP_FRONT pending binary)
    execute_process(COMMAND "${OBJDUMP}" -p "${binary}" OUTPUT_VARIABLE imports
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${imports}")
    foreach(import IN LISTS imports)
        string(REPLACE "DLL Name: " "" name "${import}")
        string(TOLOWER "${name}" name)
        if(name IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${name})
        set(path "")
        foreach(candidate IN LISTS known)
            get_filename_component(candidate_name "${candidate}" NAME)
            string(TOLOWER "${candidate_name}" candidate_name)
            if(candidate_name STREQUAL name)
                set(path "${candidate}")
                break()
            endif()
        endforeach()
        if(path)
            list(APPEND found "${path}")
            list(APPEND pending "${path}")
        elseif(name MATCHES "^(qt6|lib)")
            message(FATAL_ERROR "${name} is needed but was not found in ${DLL_DIRS}")
        endif()
    endforeach()
endwhile()
foreach(dll IN LISTS found)
    copy_stripped("${dll}" "${STAGE}")
endforeach()
foreach(plugin IN LISTS plugins)
    get_filename_component(kind "${plugin}" DIRECTORY)
    copy_stripped("${QT_PLUGINS}/${plugin}" "${STAGE}/${kind}")
endforeach()

file(COPY_FILE "${LICENSE}" "${STAGE}/LICENSE.txt")
file(COPY_FILE "${README}" "${STAGE}/README.txt")
# Qt's own licence texts, and the notices of the code bundled inside the DLLs.
file(GLOB texts "${QT_LICENSES}/qtbase/LICENSES/*" "${QT_LICENSES}/qtserialport/*")
file(COPY ${texts} DESTINATION "${STAGE}/licenses/Qt")
execute_process(COMMAND "${PYTHON}" "${NOTICES}" --qt-licenses "${QT_LICENSES}"
                        --output "${STAGE}/THIRD-PARTY-NOTICES.txt" ${found}
                COMMAND_ERROR_IS_FATAL ANY)

get_filename_component(stage_name "${STAGE}" NAME)
get_filename_component(stage_parent "${STAGE}" DIRECTORY)
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${stage_name}"
                WORKING_DIRECTORY "${stage_parent}" COMMAND_ERROR_IS_FATAL ANY)
list(TRANSFORM found REPLACE ".*/" "")
list(JOIN found " " found)
message(STATUS "${ZIP}: ${exe_name}, ${found}, ${plugins}")
