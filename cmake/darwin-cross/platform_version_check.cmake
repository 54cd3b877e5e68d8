# Included after the project() call of a cross build: clang emits a call to
# ___isPlatformVersionAtLeast for each @available, which a Mac's clang takes
# from its runtime library. Here the project's own definition is linked into
# every target instead.
enable_language(C)
add_library(brannic_platform_version_check STATIC ${CMAKE_CURRENT_LIST_DIR}/platform_version_check.c)
link_libraries(brannic_platform_version_check)
