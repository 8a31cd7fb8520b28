# The installed product and its Debian package.
#
#   bin/                                      tarn-manager, tarnctl, tarn-sim
#   share/tarn-manager/                       .dcf files, prodid.ini, help/, demo-fleet.json (read-only)
#   share/applications/tarn-manager.desktop   the menu entry
#   share/icons/hicolor/scalable/apps/        tarn-manager.svg
#   share/metainfo/                           AppStream metadata
#   share/man/man1/                           tarn-manager(1), tarnctl(1), tarn-sim(1), from their --help
#   share/bash-completion/completions/tarnctl completion of tarnctl's commands and options
#   share/doc/tarn-manager/                   README.md, COPYING, docs/ (with its pictures), copyright,
#                                             changelog.Debian.gz
#   share/lintian/overrides/tarn-manager      why lintian's remaining remarks do not apply
#   share/ansible/collections/ansible_collections/tarn/manager
#                                             the Ansible collection tarn.manager (ansible/), where
#                                             Debian's ansible-core finds it
#
# The programs find their data at ../share/tarn-manager beside their own folder
# (src/link/common/data_folders.h), so bin/ and share/ are fixed here rather than taken from
# GNUInstallDirs, whose folders a user may change.
set(TARN_PROGRAMS tarn-manager tarnctl tarn-sim)
set(TARN_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(TARN_GENERATED_DIR ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS ${TARN_PROGRAMS} RUNTIME DESTINATION bin)
# Stripping keeps the compiler's .comment section (its version string); Debian's packages drop it.
install(CODE "
    foreach(program ${TARN_PROGRAMS})
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/\${program}\" RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            message(FATAL_ERROR \"objcopy failed on \${program}\")
        endif()
    endforeach()")
install(DIRECTORY ${TARN_DATA_DIR}/ DESTINATION share/tarn-manager)
install(FILES ${TARN_PACKAGING_DIR}/tarn-manager.desktop DESTINATION share/applications)
install(FILES ${TARN_PACKAGING_DIR}/tarn-manager.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${TARN_PACKAGING_DIR}/tarnctl.bash-completion DESTINATION share/bash-completion/completions
        RENAME tarnctl)
# README and docs/ keep their places relative to each other, so that every link and picture of the
# installed documents finds its file (the packaging check follows them all); COPYING is the text
# README links to.
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/COPYING DESTINATION share/doc/tarn-manager)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION share/doc/tarn-manager/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

# The release date honours SOURCE_DATE_EPOCH, for reproducible packages.
string(TIMESTAMP TARN_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${TARN_PACKAGING_DIR}/org.tarn.manager.metainfo.xml.in
               ${TARN_GENERATED_DIR}/org.tarn.manager.metainfo.xml @ONLY)
install(FILES ${TARN_GENERATED_DIR}/org.tarn.manager.metainfo.xml DESTINATION share/metainfo)

# Man pages are made from each program's --help and --version, so they cannot drift from them, and
# hand-written sections (packaging/man/<program>.h2m: commands, exit status, files, examples, see also).
find_program(TARN_HELP2MAN help2man)
find_program(TARN_GZIP gzip)
if(TARN_HELP2MAN AND TARN_GZIP AND NOT TARN_SANITIZE)
    set(names_tarn-manager "discover, configure and monitor TARN remote I/O devices")
    set(names_tarnctl "TARN Manager on the command line")
    set(names_tarn-sim "simulated fleet of TARN remote I/O devices on loopback")
    set(pages)
    foreach(program ${TARN_PROGRAMS})
        set(page ${TARN_GENERATED_DIR}/${program}.1)
        add_custom_command(OUTPUT ${page}.gz
            COMMAND ${TARN_HELP2MAN} --no-info --section=1 "--name=${names_${program}}"
                    --include=${TARN_PACKAGING_DIR}/man/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
            COMMAND ${TARN_GZIP} -9nf ${page}
            DEPENDS ${program} ${TARN_PACKAGING_DIR}/man/${program}.h2m
            COMMENT "Writing the man page of ${program}"
            VERBATIM)
        list(APPEND pages ${page}.gz)
    endforeach()
    add_custom_target(tarn_manpages ALL DEPENDS ${pages})
    install(FILES ${pages} DESTINATION share/man/man1)
else()
    message(STATUS "No man pages: help2man or gzip is missing, or this is a sanitizer build")
endif()

# cpack -G DEB: tarn-manager_<version>-<revision>_amd64.deb, its dependencies computed from the
# binaries. The Debian revision makes it a non-native package, whose changelog is changelog.Debian.gz.
set(TARN_DEBIAN_REVISION 1)
set(TARN_DEBIAN_VERSION ${PROJECT_VERSION}-${TARN_DEBIAN_REVISION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn-manager)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TARN_DEBIAN_REVISION})
set(CPACK_PACKAGE_VENDOR "TARN Manager developers")
set(CPACK_PACKAGE_CONTACT "TARN Manager developers <tarn-manager@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "discover, configure and monitor TARN remote I/O devices")
# Each line at most 80 columns once the control file has indented it by one blank.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "TARN Manager discovers the TARN remote I/O devices on the local network,\n"
    "reads, edits and writes their parameters, keeps their credentials, saves and\n"
    "loads parameter sets, and monitors their I/O over TCP or a serial port.\n"
    "The package holds the desktop application, tarnctl for scripts, and\n"
    "tarn-sim, a simulated fleet for demos and training.")

# The package's copyright (machine-readable), its Debian changelog and its lintian overrides. The
# changelog's date honours SOURCE_DATE_EPOCH, like the metadata's.
string(TIMESTAMP TARN_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${TARN_PACKAGING_DIR}/changelog.Debian.in ${TARN_GENERATED_DIR}/changelog.Debian @ONLY)
if(TARN_GZIP)
    add_custom_command(OUTPUT ${TARN_GENERATED_DIR}/changelog.Debian.gz
        COMMAND ${TARN_GZIP} -9nkf ${TARN_GENERATED_DIR}/changelog.Debian
        DEPENDS ${TARN_GENERATED_DIR}/changelog.Debian
        VERBATIM)
    add_custom_target(tarn_changelog ALL DEPENDS ${TARN_GENERATED_DIR}/changelog.Debian.gz)
    install(FILES ${TARN_GENERATED_DIR}/changelog.Debian.gz DESTINATION share/doc/tarn-manager)
endif()
install(FILES ${TARN_PACKAGING_DIR}/copyright DESTINATION share/doc/tarn-manager)
install(FILES ${TARN_PACKAGING_DIR}/lintian-overrides DESTINATION share/lintian/overrides RENAME tarn-manager)
# The collection as ansible-core reads it: its metadata and plugins; its tests stay in the source tree.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/ansible/ DESTINATION share/ansible/collections/ansible_collections/tarn/manager
        PATTERN tests EXCLUDE PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ansible-core)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# Builds the package, unpacks it into a temporary root and runs the programs from there.
if(NOT TARN_SANITIZE)
    add_test(NAME packaging
             COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/check_package.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
    set_tests_properties(packaging PROPERTIES LABELS packaging TIMEOUT 300)
endif()
