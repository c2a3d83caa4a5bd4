# The library's families and the OS services some of their files talk to.
#
# ORVANE_FAMILIES lists the folders under Sources/, in layer order (Platform,
# then Core, then the families). The library, the tests and the benchmarks are
# all built from this one list.
#
# orvane_platform_service(NAME OPTION VAR "description" FILES name... PACKAGES PREFIX=module...)
#   declares an OS service that some files need: the option VAR (default ON)
#   says whether this build has it. When ON, each pkg-config module is found as
#   PkgConfig::PREFIX and linked privately into the library. When OFF, every
#   source, header, test and benchmark whose file name starts with one of FILES
#   is left out of the build (see orvane_exclude_service_files).
#
# Adding a family: a folder under Sources/ and Tests/, its name in
# ORVANE_FAMILIES, an orvane_platform_service call if it talks to an OS
# service, a Benchmarks/<Name>Benchmark.cpp, and its row in the README.

set(ORVANE_FAMILIES
  Platform Core Application Concurrency Data Keychain Authentication System Reachability Presentation
  CACHE INTERNAL "The library's family folders under Sources/, in layer order")

set_property(GLOBAL PROPERTY ORVANE_EXCLUDED_FILES "")
set_property(GLOBAL PROPERTY ORVANE_SERVICE_TARGETS "")

function(orvane_platform_service name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OPTION;DESCRIPTION" "FILES;PACKAGES")
  if(NOT arg_OPTION OR NOT arg_FILES)
    message(FATAL_ERROR "orvane_platform_service(${name}) needs OPTION and FILES")
  endif()
  option(${arg_OPTION} "${arg_DESCRIPTION}" ON)
  if(${arg_OPTION})
    foreach(entry IN LISTS arg_PACKAGES)
      string(REPLACE "=" ";" pair "${entry}")
      list(GET pair 0 prefix)
      list(GET pair 1 module)
      orvane_pkg_config(${prefix} ${module})
      set_property(GLOBAL APPEND PROPERTY ORVANE_SERVICE_TARGETS PkgConfig::${prefix})
    endforeach()
  else()
    message(STATUS "Building without ${name}")
    set_property(GLOBAL APPEND PROPERTY ORVANE_EXCLUDED_FILES ${arg_FILES})
  endif()
endfunction()

# orvane_exclude_service_files(LIST_VAR): removes from the list of paths in
# LIST_VAR the files of every service this build leaves out.
function(orvane_exclude_service_files list_var)
  get_property(excluded GLOBAL PROPERTY ORVANE_EXCLUDED_FILES)
  foreach(prefix IN LISTS excluded)
    list(FILTER ${list_var} EXCLUDE REGEX "/${prefix}[A-Za-z0-9]*\\.(cpp|hpp)$")
  endforeach()
  set(${list_var} "${${list_var}}" PARENT_SCOPE)
endfunction()

# orvane_pkg_config(PREFIX module): finds a pkg-config module as the imported
# target PkgConfig::PREFIX and records it for the installed package files.
set(ORVANE_PKGCONFIG_MODULES "" CACHE INTERNAL "")
set(ORVANE_PKGCONFIG_REQUIRES_PRIVATE "libcrypto" CACHE INTERNAL "")
macro(orvane_pkg_config prefix module)
  pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${module})
  list(APPEND ORVANE_PKGCONFIG_MODULES "${prefix}=${module}")
  list(APPEND ORVANE_PKGCONFIG_REQUIRES_PRIVATE "${module}")
  set(ORVANE_PKGCONFIG_MODULES "${ORVANE_PKGCONFIG_MODULES}" CACHE INTERNAL "")
  set(ORVANE_PKGCONFIG_REQUIRES_PRIVATE "${ORVANE_PKGCONFIG_REQUIRES_PRIVATE}" CACHE INTERNAL "")
endmacro()
