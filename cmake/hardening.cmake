# Debian's hardening flags for the three programs and the libraries they are made of: stack
# protector, _FORTIFY_SOURCE, format-string checks, and full RELRO (relro + bind-now); and on top of
# them what Debian 12 does not give yet: stack clash protection, control-flow protection (the
# IBT/SHSTK property note), _FORTIFY_SOURCE=3 and the C++ library's bounds assertions.
#
# The flags are the ones `dpkg-buildflags` gives with hardening=+all, so the package is built as
# Debian would build it; only the hardening flags are taken over (not -g, -O2 or the file prefix map,
# which belong to the build type and to dpkg-buildpackage). Without dpkg-buildflags the same flags are
# used as they stand in Debian 12.
#
# _FORTIFY_SOURCE needs an optimised build: glibc warns without one, and warnings are errors in CI.
# The sanitizer and fuzz trees are left alone; their checks see more without it.
# Included after the programs are defined.
if(TARN_SANITIZE OR TARN_FUZZ)
    return()
endif()

set(tarn_hardening_compile -fstack-protector-strong -Wformat -Werror=format-security)
set(tarn_hardening_link -Wl,-z,relro -Wl,-z,now)

find_program(TARN_DPKG_BUILDFLAGS dpkg-buildflags)
if(TARN_DPKG_BUILDFLAGS)
    function(tarn_debian_flags variable out)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                                ${TARN_DPKG_BUILDFLAGS} --get ${variable}
                        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            set(${out} "" PARENT_SCOPE)
            return()
        endif()
        separate_arguments(flags UNIX_COMMAND "${flags}")
        set(${out} ${flags} PARENT_SCOPE)
    endfunction()
    tarn_debian_flags(CXXFLAGS cxx)
    tarn_debian_flags(LDFLAGS ld)
    if(cxx AND ld)
        list(FILTER cxx INCLUDE REGEX "^-(fstack-protector|fstack-clash-protection|fcf-protection|Wformat|Werror=format)")
        list(FILTER ld INCLUDE REGEX "^-Wl,-z,")
        set(tarn_hardening_compile ${cxx})
        set(tarn_hardening_link ${ld})
    endif()
endif()

# Whatever dpkg-buildflags gave, these hold (later options win over earlier ones).
foreach(flag -fstack-clash-protection -fcf-protection)
    if(NOT flag IN_LIST tarn_hardening_compile)
        list(APPEND tarn_hardening_compile ${flag})
    endif()
endforeach()
set(tarn_hardening_fortify -D_FORTIFY_SOURCE=3 -D_GLIBCXX_ASSERTIONS)
# The linker marks a program IBT/SHSTK-ready only when every object is marked, and Debian 12's glibc
# start files (Scrt1.o, crti.o, crtn.o) are not, though they are plain calls and returns. Every object
# of ours is compiled with -fcf-protection; the mark is asked for explicitly.
list(APPEND tarn_hardening_link -Wl,-z,ibt -Wl,-z,shstk)

# The programs and, through their link lists, every library of this project they contain.
function(tarn_collect_targets out)
    set(pending ${ARGN})
    set(found)
    while(pending)
        list(POP_FRONT pending target)
        if(NOT TARGET ${target} OR target IN_LIST found)
            continue()
        endif()
        get_target_property(imported ${target} IMPORTED)
        if(imported)
            continue()
        endif()
        list(APPEND found ${target})
        get_target_property(libraries ${target} LINK_LIBRARIES)
        if(libraries)
            list(APPEND pending ${libraries})
        endif()
    endwhile()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

tarn_collect_targets(tarn_hardened tarn-manager tarnctl tarn-sim)
set(tarn_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
foreach(target ${tarn_hardened})
    set_property(TARGET ${target} APPEND PROPERTY COMPILE_OPTIONS
                 ${tarn_hardening_compile} $<${tarn_optimised}:-U_FORTIFY_SOURCE> "$<${tarn_optimised}:${tarn_hardening_fortify}>")
endforeach()
foreach(program tarn-manager tarnctl tarn-sim)
    set_property(TARGET ${program} APPEND PROPERTY LINK_OPTIONS ${tarn_hardening_link})
endforeach()
message(STATUS "Hardening: ${tarn_hardening_compile} ${tarn_hardening_fortify} ${tarn_hardening_link}")
