# SPDX-License-Identifier: MIT
# The hardening a Debian package is built with (what `dpkg-buildflags` gives with
# hardening=+all): fortified libc calls, the stack protector, format checks, a read-only
# relocation table bound at start (relro, bindnow) and a position-independent executable.
# Release builds only: the sanitizer and fuzz builds have their own run-time checks, and
# fortification needs the optimizer. A flag the packager already passes is not given twice.
option(R8_HARDEN "Build Release with Debian's hardening flags" ON)
if(R8_HARDEN AND CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT (R8_SANITIZE OR R8_FUZZ OR R8_TSAN))
    set(_r8_given "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_RELEASE}")
    if(NOT _r8_given MATCHES "_FORTIFY_SOURCE")
        add_compile_definitions(_FORTIFY_SOURCE=2)
    endif()
    if(NOT _r8_given MATCHES "-fstack-protector")
        add_compile_options(-fstack-protector-strong)
    endif()
    add_compile_options(-Wformat -Werror=format-security)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    include(CheckPIESupported)
    check_pie_supported()
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
