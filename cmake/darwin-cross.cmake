# Builds the macOS targets on Linux with Debian's clang, ld64.lld and LLVM's
# Mach-O tools: the project's own Apple branch, for arm64 and x86_64, macOS 11.
#
#   cmake -S . -B build-macos -G Ninja --toolchain cmake/darwin-cross.cmake \
#         -DCMAKE_OSX_SYSROOT=<SDK root>
#
# The SDK root holds System/Library/Frameworks, usr/include and usr/lib with
# the link stubs (.tbd) reachable at their install names;
# scripts/macos-crossbuild lays one out from the SDK inputs. Nothing is signed
# here: codesign exists only on a Mac (lld signs arm64 output ad hoc).
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.0)  # Darwin 20 is macOS 11
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_OSX_ARCHITECTURES "arm64;x86_64" CACHE STRING "Architectures of the macOS build")
set(CMAKE_OSX_DEPLOYMENT_TARGET "11.0" CACHE STRING "Minimum macOS version")

if(NOT CMAKE_OSX_SYSROOT AND DEFINED ENV{SDKROOT})
  set(CMAKE_OSX_SYSROOT "$ENV{SDKROOT}")
endif()
if(NOT IS_DIRECTORY "${CMAKE_OSX_SYSROOT}/System/Library/Frameworks")
  message(FATAL_ERROR "darwin-cross: set CMAKE_OSX_SYSROOT to a macOS SDK root "
                      "(scripts/macos-crossbuild lays one out from the SDK inputs)")
endif()

# Debian names the LLVM tools with their version; try_compile runs this file
# again, so everything found is remembered in the cache.
set(llvm_versions 19 18 17 16 15 14)
function(darwin_cross_find_tool variable)
  set(names)
  foreach(name ${ARGN})
    list(APPEND names ${name})
    foreach(version ${llvm_versions})
      list(APPEND names ${name}-${version})
    endforeach()
  endforeach()
  find_program(${variable} NAMES ${names} NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${variable})
    message(FATAL_ERROR "darwin-cross: none of ${ARGN} is installed (Debian: apt-get install clang lld llvm)")
  endif()
endfunction()
darwin_cross_find_tool(DARWIN_CROSS_CLANG clang)
darwin_cross_find_tool(DARWIN_CROSS_CLANGXX clang++)
darwin_cross_find_tool(DARWIN_CROSS_LIPO llvm-lipo)
darwin_cross_find_tool(DARWIN_CROSS_LIBTOOL llvm-libtool-darwin)
darwin_cross_find_tool(DARWIN_CROSS_LD64 ld64.lld)
darwin_cross_find_tool(DARWIN_CROSS_INSTALL_NAME_TOOL llvm-install-name-tool)

set(CMAKE_C_COMPILER ${DARWIN_CROSS_CLANG})
set(CMAKE_CXX_COMPILER ${DARWIN_CROSS_CLANGXX})
set(CMAKE_OBJCXX_COMPILER ${DARWIN_CROSS_CLANGXX})
foreach(lang C CXX OBJCXX)
  set(CMAKE_${lang}_COMPILER_TARGET arm64-apple-macos)
endforeach()

# With two -arch options clang compiles each slice and joins them by running
# `lipo`, and links through `ld64.lld`: both are found in a folder of their
# own given with -B, under those names.
set(tools_dir ${CMAKE_BINARY_DIR}/darwin-cross-tools)
file(MAKE_DIRECTORY ${tools_dir})
file(CREATE_LINK ${DARWIN_CROSS_LIPO} ${tools_dir}/lipo SYMBOLIC)
file(CREATE_LINK ${DARWIN_CROSS_LD64} ${tools_dir}/ld64.lld SYMBOLIC)

# Debian's clang defaults to libstdc++; the system's C++ library is libc++.
foreach(lang C CXX OBJCXX)
  set(CMAKE_${lang}_FLAGS_INIT "-B${tools_dir}")
endforeach()
string(APPEND CMAKE_CXX_FLAGS_INIT " -stdlib=libc++")
string(APPEND CMAKE_OBJCXX_FLAGS_INIT " -stdlib=libc++")
# Linker flags given on the command line replace these: keep -fuse-ld=lld in them.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld")
endforeach()

# Archives of universal objects: llvm-ar cannot index them, Apple's libtool
# format can.
set(CMAKE_AR ${DARWIN_CROSS_LIBTOOL} CACHE FILEPATH "Archiver of universal objects")
foreach(lang C CXX OBJCXX)
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> -static -o <TARGET> <LINK_FLAGS> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "")
endforeach()
set(CMAKE_INSTALL_NAME_TOOL ${DARWIN_CROSS_INSTALL_NAME_TOOL} CACHE FILEPATH "")

# Test executables are listed when ctest runs them, on a Mac, not after they
# are linked here.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Headers and libraries come from the SDK only; programs from this machine.
set(CMAKE_FIND_ROOT_PATH ${CMAKE_OSX_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Clang's runtime library for Darwin, which supplies ___isPlatformVersionAtLeast
# behind @available, is not part of Debian's clang: the project adds a small
# stand-in to every executable.
set(CMAKE_PROJECT_Brannic_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/darwin-cross/platform_version_check.cmake)
