# Install rules: the versioned shared library, the public headers under
# include/TarvelOrvane/, a CMake package config and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(orvane_config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/TarvelOrvane)

install(TARGETS TarvelOrvane
  EXPORT TarvelOrvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/TarvelOrvane COMPONENT development)

install(EXPORT TarvelOrvaneTargets
  NAMESPACE TarvelOrvane::
  DESTINATION ${orvane_config_dir}
  COMPONENT development)

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/TarvelOrvaneConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TarvelOrvaneConfig.cmake
  INSTALL_DESTINATION ${orvane_config_dir})
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/TarvelOrvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/TarvelOrvaneConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TarvelOrvaneConfigVersion.cmake
  DESTINATION ${orvane_config_dir}
  COMPONENT development)

# The pkg-config file finds its prefix relative to its own folder, so an
# installed tree can be moved (or installed with --prefix) and still work.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(orvane_pc_prefix "${CMAKE_INSTALL_PREFIX}")
else()
  set(orvane_pc_prefix "\${pcfiledir}")
  string(REPLACE "/" ";" orvane_libdir_parts "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
  foreach(part IN LISTS orvane_libdir_parts)
    string(APPEND orvane_pc_prefix "/..")
  endforeach()
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(orvane_pc_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(orvane_pc_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
list(JOIN ORVANE_PKGCONFIG_REQUIRES_PRIVATE " " orvane_pc_requires_private)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tarvel-orvane.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/tarvel-orvane.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tarvel-orvane.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
