# Debian packages of the project, made by CPack's DEB generator (`make deb`):
#   sudz          the programs, their man pages, the examples and the shared libraries;
#   sudz-dev      headers, static libraries, pkg-config files and the CMake package;
#   python3-sudz  the Python module.
# Files go to a package by their install component, so that whatever a folder installs with
# the usual install() calls lands in the right package without a list of files here:
#   <name>-dev     (what sudz_installed_library gives for building)   -> sudz-dev
#   <name>-python  (a Python module)                                   -> python3-sudz
#   deb-<package>  (this file's own documents for that package)        -> <package>
#   anything else, and no component at all (programs, man pages, examples, the run-time
#   part of the libraries)                                             -> sudz
# Include it last, once every folder has made its install() calls.
# The packages install under /usr: build them from a tree configured with
# CMAKE_INSTALL_PREFIX=/usr, so that the library folder and any path a program keeps
# are Debian's (the Makefile's `deb` target does so).

set(SUDZ_DEB_MAINTAINER "sudz maintainers <maintainers@users.noreply.c-seed-6b0b35b3.example>"
    CACHE STRING "Maintainer field of the Debian packages")
set(SUDZ_DEB_RELEASE 1 CACHE STRING "Debian revision of the packages, for the same project version")
set(SUDZ_DEB_VERSION ${PROJECT_VERSION}-${SUDZ_DEB_RELEASE})

# The documents every Debian package carries in /usr/share/doc/<package>: its copyright and a
# changelog compressed as Debian does (best ratio, no name or time stamp). They are left out of
# a plain `cmake --install`.
set(_deb_dir ${CMAKE_CURRENT_LIST_DIR}/deb)
configure_file(${_deb_dir}/changelog.in ${CMAKE_BINARY_DIR}/deb-docs/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/deb-docs/changelog.Debian
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/deb-docs/changelog.Debian.gz
                RESULT_VARIABLE _gzip_status)
if(NOT _gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the Debian changelog")
endif()
set(_deb_packages sudz sudz-dev python3-sudz)
foreach(pkg ${_deb_packages})
  install(FILES ${_deb_dir}/copyright ${CMAKE_BINARY_DIR}/deb-docs/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${pkg} COMPONENT deb-${pkg} EXCLUDE_FROM_ALL)
endforeach()

# Every component gets its package.
get_cmake_property(_components COMPONENTS)
foreach(c ${_components})
  if(c MATCHES "^deb-(.+)$")
    set(pkg ${CMAKE_MATCH_1})
  elseif(c MATCHES "-dev$")
    set(pkg sudz-dev)
  elseif(c MATCHES "-python$")
    set(pkg python3-sudz)
  else()
    set(pkg sudz)
  endif()
  string(TOUPPER ${c} up)
  set(CPACK_COMPONENT_${up}_GROUP ${pkg})
endforeach()
set(CPACK_COMPONENTS_ALL ${_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sudz)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SUDZ_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SUDZ_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies on the system's libraries are read from the binaries; the project's own
# libraries get a shlibs file, so that programs built against them depend on sudz.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(_same_version "(= ${SUDZ_DEB_VERSION})")

set(CPACK_DEBIAN_SUDZ_PACKAGE_NAME sudz)
set(CPACK_DEBIAN_SUDZ_PACKAGE_SECTION education)
# Scripts among the programs run on Debian's python3 (dpkg-shlibdeps sees only binaries).
# sudz-grade runs its controllers under Xvfb and answers dialogs with xdotool; sudz-classroom
# serves its seats with Xvfb, x11vnc, websockify and noVNC and takes pictures with ImageMagick;
# the simulators themselves need none of them. The text viewer turns PostScript into PDF with
# ps2pdf; the traces are read with GTKWave.
set(CPACK_DEBIAN_SUDZ_PACKAGE_DEPENDS "python3")
set(CPACK_DEBIAN_SUDZ_PACKAGE_RECOMMENDS "xvfb, xdotool, x11vnc, websockify, novnc, imagemagick")
set(CPACK_DEBIAN_SUDZ_PACKAGE_SUGGESTS "ghostscript, gtkwave")
# The shared libraries are in the loader's folders: its cache is renewed once dpkg is done.
set(CPACK_DEBIAN_SUDZ_PACKAGE_CONTROL_EXTRA ${_deb_dir}/sudz/triggers)
set(CPACK_DEBIAN_SUDZ_DESCRIPTION "process simulator for teaching automation
sudz draws a washing machine in an X11 window and lets a student's own
control program drive it through a shared-memory exchange area of 11 inputs
and 11 outputs. The package holds the simulators and their tools (manual
panels, traces and grading, a Modbus bridge, a text viewer), their manual
pages, the example controllers and the shared libraries they are built on.")

set(CPACK_DEBIAN_SUDZ-DEV_PACKAGE_NAME sudz-dev)
set(CPACK_DEBIAN_SUDZ-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_SUDZ-DEV_PACKAGE_DEPENDS "sudz ${_same_version}, libfltk1.3-dev")
set(CPACK_DEBIAN_SUDZ-DEV_PACKAGE_RECOMMENDS "g++, pkg-config, cmake")
set(CPACK_DEBIAN_SUDZ-DEV_DESCRIPTION "process simulator for teaching automation - development files
The headers, static libraries, pkg-config files and CMake package of the
sudz libraries: the exchange-area link that controllers are written
against, and the drawing, dialog and plant libraries that new simulators
are built from.")

set(CPACK_DEBIAN_PYTHON3-SUDZ_PACKAGE_NAME python3-sudz)
set(CPACK_DEBIAN_PYTHON3-SUDZ_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON3-SUDZ_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON3-SUDZ_PACKAGE_DEPENDS "python3:any, sudz (>= ${SUDZ_DEB_VERSION})")
# Byte-compiled on installation and cleaned on removal, as Debian's Python packages are.
set(CPACK_DEBIAN_PYTHON3-SUDZ_PACKAGE_CONTROL_EXTRA
    ${_deb_dir}/python3-sudz/postinst ${_deb_dir}/python3-sudz/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PYTHON3-SUDZ_DESCRIPTION "process simulator for teaching automation - Python module
The module sudz lets a controller for the sudz simulators be written in
Python: it attaches to the exchange area named on the command line, reads
the inputs and writes the outputs through the link library.")

include(CPack)
