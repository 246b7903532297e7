# Cross-builds for arm64 (aarch64) with Debian's cross compiler against the arm64 libraries
# installed beside the amd64 ones (scripts/install-deps arm64); the tests run under qemu-user.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config)
# ISA-L's arm64 package cannot be installed beside the amd64 one: it is unpacked apart.
set(HISTCHART_ISAL_ARM64 /opt/histchart-arm64/isal CACHE PATH "Where libisal-dev:arm64 is unpacked")
set(ENV{PKG_CONFIG_PATH} ${HISTCHART_ISAL_ARM64}/usr/lib/aarch64-linux-gnu/pkgconfig)
