# What an installation holds, and the Debian packages made from it with CPack:
#   larkspur         the program, larkspur-cli (with its bash completion), larkspur-virtual-evm,
#                    desktop entry, icons, AppStream data, man pages (component "program")
#   libsundial1      the link library (component "library")
#   libsundial-dev   its header, development link, pkg-config file, CMake package ("sdk")
#   python3-larkspur the Python package, where it is built ("python")
# The library's install rules are in link/CMakeLists.txt.

set(LARKSPUR_APP_ID org.larkspur.Larkspur)

install(TARGETS larkspur larkspur-cli larkspur-virtual-evm RUNTIME
    DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)

# Where bash-completion loads a command's completion from, by the command's name, when the
# command is first completed: under /usr for the package, and under ~/.local, which it also
# searches, for a private prefix.
install(FILES cli/larkspur-cli.bash RENAME larkspur-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT program)

install(FILES app/data/${LARKSPUR_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
configure_file(app/data/${LARKSPUR_APP_ID}.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/data/${LARKSPUR_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${LARKSPUR_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)

# The icon: the hand-drawn SVG, and the raster sizes painted by the program's own artwork code.
install(FILES app/data/${LARKSPUR_APP_ID}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)
add_executable(makeicons app/data/makeicons.cpp)
target_link_libraries(makeicons PRIVATE app_ui)
set(iconStamp ${CMAKE_BINARY_DIR}/data/icons.stamp)
add_custom_command(OUTPUT ${iconStamp}
    # A build tool's leaks at exit are nobody's business, in a sanitized build either.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:makeicons> ${CMAKE_BINARY_DIR}/data/icons ${LARKSPUR_APP_ID}
    COMMAND ${CMAKE_COMMAND} -E touch ${iconStamp}
    DEPENDS makeicons
    COMMENT "Painting the icon's raster sizes")
add_custom_target(icons ALL DEPENDS ${iconStamp})
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/icons/hicolor
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons COMPONENT program)

# Man pages, compressed as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
# Each page goes to the section its name ends with.
foreach(page app/data/larkspur.1 cli/larkspur-cli.1 tools/virtual-evm/larkspur-virtual-evm.1
        files/larkspur-script.5)
    get_filename_component(name ${page} NAME)
    string(REGEX REPLACE ".*\\." "" section ${name})
    set(compressed ${CMAKE_BINARY_DIR}/data/man/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data/man
        COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/${page} > ${compressed}
        DEPENDS ${page})
    list(APPEND manPages ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
        COMPONENT program)
endforeach()
add_custom_target(manpages ALL DEPENDS ${manPages})

# The codec's register and field definitions, for firmware written without a board.
install(FILES ${CMAKE_BINARY_DIR}/data/tessaly.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    COMPONENT sdk)

# component:package:version
set(packages program:larkspur:${PROJECT_VERSION} library:libsundial1:${Sundial_VERSION}
    sdk:libsundial-dev:${Sundial_VERSION})
set(CPACK_COMPONENTS_ALL program library sdk)
if(TARGET _larkspur)
    list(APPEND packages python:python3-larkspur:${PROJECT_VERSION})
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()

# Each package's copyright and changelog, where Debian looks for them.
foreach(entry IN LISTS packages)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 component)
    list(GET entry 1 PACKAGE)
    list(GET entry 2 VERSION)
    string(REGEX REPLACE "^([0-9]+\\.[0-9]+\\.[0-9]+).*" "\\1" VERSION ${VERSION})
    set(docDir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PACKAGE})
    configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/data/${PACKAGE}/changelog @ONLY)
    execute_process(COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_BINARY_DIR}/data/${PACKAGE}/changelog)
    install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/data/${PACKAGE}/changelog.gz
        DESTINATION ${docDir} COMPONENT ${component})
endforeach()

# CPack: Debian packages, dependencies computed by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkspur)
set(CPACK_PACKAGE_VENDOR "The Larkspur developers")
# The project keeps no mail domain of its own; .invalid is the name reserved for that.
set(CPACK_PACKAGE_CONTACT "The Larkspur developers <dev@larkspur.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME larkspur)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
# The program loads the library at run time, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS
    "libsundial1 (>= ${Sundial_VERSION_MAJOR}.${Sundial_VERSION_MINOR}.${Sundial_VERSION_PATCH})")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "control panel for the Tessaly evaluation board
Larkspur sets the Tessaly audio DAC on its evaluation board through window
controls bound to the codec's register bit-fields, with the register traffic
in a history and a register map, register scripts and snapshots.
.
The package also holds larkspur-cli, the same from a terminal, and
larkspur-virtual-evm, a virtual board on a pseudo-terminal.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libsundial1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# Written out rather than generated: CPack's own adds ldconfig calls to the maintainer scripts,
# where Debian wants the trigger.
set(SUNDIAL_PACKAGE_VERSION ${Sundial_VERSION_MAJOR}.${Sundial_VERSION_MINOR}.${Sundial_VERSION_PATCH})
configure_file(packaging/shlibs.in ${CMAKE_BINARY_DIR}/data/libsundial1/shlibs @ONLY)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/data/libsundial1/shlibs ${CMAKE_SOURCE_DIR}/packaging/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "serial link to the Tessaly evaluation board
Sundial finds the Tessaly evaluation board among the serial ports, sets up
the line and carries register reads and writes for the board's channels,
in the board's framed and checksummed protocol.")

set(CPACK_DEBIAN_SDK_PACKAGE_NAME libsundial-dev)
set(CPACK_DEBIAN_SDK_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_SDK_PACKAGE_DEPENDS "libsundial1 (= ${SUNDIAL_PACKAGE_VERSION})")
set(CPACK_COMPONENT_SDK_DESCRIPTION "serial link to the Tessaly evaluation board - development files
The header, the development link, a pkg-config file and a CMake package
(find_package(Sundial)) for programs that use the Sundial library.")

if(TARGET _larkspur)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-larkspur)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    # The compiled module is built for one Python version, which Debian states as a range; it loads
    # the link library at run time, as the program does.
    math(EXPR nextPythonMinor "${Python3_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (<< ${Python3_VERSION_MAJOR}.${nextPythonMinor}), \
python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), ${CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS}")
    # The pytest fixtures start the virtual board from the program's package.
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "larkspur, python3-pytest")
    # Byte-compiled on installation and cleaned on removal, as Debian's Python packages are.
    set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA
        ${CMAKE_SOURCE_DIR}/packaging/python3-larkspur/postinst
        ${CMAKE_SOURCE_DIR}/packaging/python3-larkspur/prerm)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_COMPONENT_PYTHON_DESCRIPTION "Tessaly evaluation board from Python
The larkspur module drives the Tessaly evaluation board from Python on the
same core as the Larkspur program: register reads and writes, the codec's
fields by name, snapshots, register scripts and resets, with exceptions that
carry the link's codes.
.
It also holds a pytest plugin with fixtures for the virtual board.")
endif()

# The library's packages carry the library's version, the program's its own: cpack runs once for
# each set of components (scripts/package), and this file picks the version for the set.
configure_file(packaging/cpackversions.cmake.in ${CMAKE_BINARY_DIR}/CPackVersions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackVersions.cmake)

include(CPack)
