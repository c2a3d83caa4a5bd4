# Compiler settings shared by every target of this project.

# orvane_project_options: an interface target that carries our warnings and
# sanitizer flags. Our own targets link it; consumers of the library never see it.
add_library(orvane_project_options INTERFACE)

target_compile_options(orvane_project_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough)
if(ORVANE_WARNINGS_AS_ERRORS)
  target_compile_options(orvane_project_options INTERFACE -Werror)
endif()

if(ORVANE_SANITIZE_ADDRESS)
  set(orvane_sanitizer_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
                             -fno-omit-frame-pointer)
elseif(ORVANE_SANITIZE_THREAD)
  set(orvane_sanitizer_flags -fsanitize=thread -fno-omit-frame-pointer)
endif()

if(orvane_sanitizer_flags)
  # Sanitizers must reach every object file and the link, including test
  # frameworks built here, so they are set globally rather than per target.
  add_compile_options(${orvane_sanitizer_flags})
  add_link_options(${orvane_sanitizer_flags})
endif()

# g++ 12's uninitialised-use analysis misfires on instrumented code (sanitizers
# change inlining), flagging std::optional and std::shared_ptr internals. The
# uninstrumented builds keep the warning; sanitizers check the real thing.
if(orvane_sanitizer_flags AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(orvane_project_options INTERFACE -Wno-maybe-uninitialized)
endif()
