# sudz_installed_library(<name> COMPONENT <component> SOURCES <file>... HEADERS <file>...
#                        [LINK <library>...] [LINK_SHARED <library>...])
# Builds <name>, a static library for the tree, and <name>_shared, a shared one whose file
# is lib<name>.so, from the same sources; LINK goes to the static one, LINK_SHARED to the
# shared one. Installs both, the headers in include/<name>, and lib<name>'s pkg-config file
# made from <name>.pc.in in the calling folder. The .pc file finds the prefix from its own
# place (@PC_TO_PREFIX@), so it stays right when the prefix is chosen at install time
# (cmake --install --prefix). Variables of the caller are seen by the .pc.in as well.
# The shared one joins the export set sudzTargets as sudz::<name> (see sudz_install_package)
# and finds its sibling libraries in its own folder, wherever the prefix is.
# What a program needs at run time (the versioned shared library files) goes to <component>,
# what building against the library needs (headers, static library, the unversioned .so
# link, the .pc file) to <component>-dev, so that packages can split along that line.
function(sudz_installed_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "COMPONENT" "SOURCES;HEADERS;LINK;LINK_SHARED")

  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${SUDZ_SRC}>)
  if(ARG_LINK)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
  endif()

  add_library(${name}_shared SHARED ${ARG_SOURCES})
  target_include_directories(${name}_shared PUBLIC $<BUILD_INTERFACE:${SUDZ_SRC}>
                             $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  if(ARG_LINK_SHARED)
    target_link_libraries(${name}_shared PUBLIC ${ARG_LINK_SHARED})
  endif()
  set_target_properties(${name}_shared PROPERTIES OUTPUT_NAME ${name}
                        VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
                        EXPORT_NAME ${name}
                        # A program's own run path does not serve its libraries' dependencies.
                        INSTALL_RPATH "$ORIGIN")

  set(dev ${ARG_COMPONENT}-dev)
  install(TARGETS ${name}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${dev})
  install(TARGETS ${name}_shared EXPORT sudzTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${ARG_COMPONENT}
                  NAMELINK_COMPONENT ${dev})
  install(FILES ${ARG_HEADERS}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${name} COMPONENT ${dev})

  set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  file(RELATIVE_PATH PC_TO_PREFIX /root/${pc_dir} /root)
  configure_file(${name}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc
          DESTINATION ${pc_dir} COMPONENT ${dev})
endfunction()

# sudz_install_package(COMPONENT <component>)
# Installs, in <component>-dev, the CMake package of the libraries, so that a project of one's own finds them with
#   find_package(sudz CONFIG REQUIRED)
#   target_link_libraries(plant PRIVATE sudz::plantkit sudz::objgraphiques)
# The imported targets are the shared libraries of the export set sudzTargets, and
# sudz::toolkit, which the package fills from CMake's own FLTK and X11 modules. The files find
# the prefix from their own place, so any install prefix works.
function(sudz_install_package)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "COMPONENT" "")
  include(CMakePackageConfigHelpers)
  set(dir ${CMAKE_INSTALL_LIBDIR}/cmake/sudz)
  set(dev ${ARG_COMPONENT}-dev)
  install(TARGETS fltk_forms_lib EXPORT sudzTargets COMPONENT ${dev})
  install(EXPORT sudzTargets NAMESPACE sudz:: DESTINATION ${dir} COMPONENT ${dev})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/sudzConfig.cmake.in
                 ${PROJECT_BINARY_DIR}/sudzConfig.cmake @ONLY)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/sudzConfigVersion.cmake
                                   COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/sudzConfig.cmake ${PROJECT_BINARY_DIR}/sudzConfigVersion.cmake
          DESTINATION ${dir} COMPONENT ${dev})
endfunction()
