# How the extension modules are linked.
#
# The C++ runtime (libstdc++) is linked in and kept local by each module's
# version script, so a module needs nothing of the compiler's on the machine
# that imports it but libgcc_s.so.1, the unwinder that glibc itself loads
# and every manylinux policy allows. The unwinder stays shared: GCC's
# static one looks up frames with _dl_find_object, which only glibc 2.35
# and newer have.
#
# CORVANE_GLIBC_SYSROOT names the root of an older glibc (a Debian root
# with libc6-dev for the target architecture). The modules are then linked
# against its libraries instead of the build machine's, so each function
# binds to the oldest symbol version that glibc has, and the few symbols the
# static C++ runtime takes from a newer glibc come from src/older_glibc/.
# Only the link changes: the code is compiled with the toolchain's headers
# as ever. A sanitized build (either sanitizer) keeps the runtime shared,
# so that the sanitizer's own operator new and delete serve the modules.
set(CORVANE_GLIBC_SYSROOT "" CACHE PATH
    "Root of an older glibc (libc6-dev) to link the extension modules against")

if(CORVANE_GLIBC_SYSROOT)
  if(CORVANE_SANITIZE OR CORVANE_SANITIZE_THREAD)
    message(FATAL_ERROR "CORVANE_GLIBC_SYSROOT is for the modules of a wheel, not for a sanitized build")
  endif()
  set(corvane_glibc_libdir ${CORVANE_GLIBC_SYSROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  if(NOT CMAKE_LIBRARY_ARCHITECTURE OR NOT EXISTS ${corvane_glibc_libdir}/libc.so)
    message(FATAL_ERROR "CORVANE_GLIBC_SYSROOT=${CORVANE_GLIBC_SYSROOT} holds no "
                        "usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/libc.so (install libc6-dev there)")
  endif()
endif()

function(corvane_link_module target)
  if(CORVANE_SANITIZE OR CORVANE_SANITIZE_THREAD)
    return()
  endif()
  target_link_options(${target} PRIVATE -static-libstdc++)
  if(CORVANE_GLIBC_SYSROOT)
    # The linker's sysroot makes the absolute paths in its libc.so and
    # libpthread.so scripts resolve inside it (the compiler's would make
    # clang look for GCC's runtime there too); the -L directories come
    # before the compiler's own, which lead to the build machine's glibc.
    # Before glibc 2.34 the thread functions live in libpthread, hence
    # -pthread.
    target_link_options(${target} PRIVATE
      LINKER:--sysroot=${CORVANE_GLIBC_SYSROOT}
      -L${CORVANE_GLIBC_SYSROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}
      -L${CORVANE_GLIBC_SYSROOT}/lib/${CMAKE_LIBRARY_ARCHITECTURE}
      -pthread)
    target_link_libraries(${target} PRIVATE corvane_older_glibc)
  endif()
endfunction()
