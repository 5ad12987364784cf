# The distribution's hardening flags, read from dpkg-buildflags so that the
# program is built as Debian builds its own: stack protector, format checks,
# FORTIFY, read-only relocations bound at start (RELRO, BINDNOW). Executables
# are position-independent already: Debian's compiler links PIE by default and
# Qt's targets ask for position-independent code.
#
# -O and -g stay with the build type, and source paths stay as they are (the
# file-prefix map serves reproducible archives, not hardening). FORTIFY needs the optimiser (glibc warns
# without it, and warnings are errors here), so it joins only the optimised
# build types. The sanitizer and fuzz builds keep their own instrumentation.
option(QUADRELINK_HARDENING "Build with the distribution's hardening flags" ON)
if(NOT QUADRELINK_HARDENING OR QUADRELINK_SANITIZE OR QUADRELINK_FUZZ)
    return()
endif()
# A Windows (PE) program: the host's dpkg-buildflags describe ELF links (RELRO
# and BINDNOW are -z options that a PE linker refuses). MinGW's binutils make
# PE programs relocatable, non-executable-stack and high-entropy by default;
# the compiler's part is the same as Debian's, and the stack protector and
# FORTIFY's checked functions come from libssp, which the compiler adds when
# the link names the protector too.
if(WIN32)
    set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security
                        "$<${optimised}:-D_FORTIFY_SOURCE=2>")
    add_link_options(-fstack-protector-strong)
    message(STATUS "Hardening flags: -fstack-protector-strong -Wformat "
                   "-Werror=format-security -D_FORTIFY_SOURCE=2 (optimised builds)")
    return()
endif()
find_program(QUADRELINK_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT QUADRELINK_DPKG_BUILDFLAGS)
    message(STATUS "dpkg-buildflags not found: building without hardening flags")
    return()
endif()

function(quadrelink_buildflags name out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${QUADRELINK_DPKG_BUILDFLAGS} --get ${name}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(O|g|ffile-prefix-map)")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

quadrelink_buildflags(CPPFLAGS cppflags)
quadrelink_buildflags(CXXFLAGS cxxflags)
quadrelink_buildflags(LDFLAGS ldflags)
set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
foreach(flag IN LISTS cppflags cxxflags)
    if(flag MATCHES "_FORTIFY_SOURCE")
        add_compile_options("$<${optimised}:${flag}>")
    else()
        add_compile_options(${flag})
    endif()
endforeach()
add_link_options(${ldflags})
list(JOIN cppflags " " cppflags)
list(JOIN cxxflags " " cxxflags)
list(JOIN ldflags " " ldflags)
message(STATUS "Hardening flags: ${cppflags} ${cxxflags} ${ldflags}")
