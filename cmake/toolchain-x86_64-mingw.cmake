# The same sources as a 64-bit Windows program: what the tests run on hosts that cannot run
# 32-bit code (see scripts/host-arch.sh). Not shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
